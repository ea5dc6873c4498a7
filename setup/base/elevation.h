// Whether the process runs with its administrator rights in force.
#pragma once

enum class Elevation {
    Elevated,    // an elevated token (or one Windows never restricts)
    Restricted,  // a user's token, or an administrator's without elevation
    Unknown,     // Windows before Vista: no elevation to ask about
};

Elevation ProcessElevation();
