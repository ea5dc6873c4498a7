// The maker's details that the wizard's side panel links to. The texts the panel shows are
// in the frame's dialog template; these are the addresses behind them.
#pragma once

inline constexpr char kMakerWebAddress[] = "https://www.vesk.example/";
inline constexpr char kMakerMailAddress[] = "mailto:support@vesk.example";
inline constexpr char kBuilderWebAddress[] = "https://www.harrowlane.example/";
