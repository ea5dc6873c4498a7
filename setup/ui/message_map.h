// Message maps: a dialog class lists the messages and commands it handles in one table, with
// its base class's table behind it, so its handling reads as a list of
//     OnClicked<&CLicencePage::OnAccept>(IDC_ACCEPT),
//     OnTimer<&CSetupDlg::OnResumeTimer>(kResumeTimer),
//     OnMessage<&CSetupDlg::OnClose>(WM_CLOSE),
// instead of a switch over message numbers.
#pragma once

#include <windows.h>

#include <cstddef>

class CDialog;

// Calls one entry's handler. The result is what the dialog procedure returns: TRUE for
// handled, or the value itself for the messages whose result is the procedure's return
// value (WM_CTLCOLORxxx, WM_QUERYDRAGICON, ...).
using MessageThunk = INT_PTR (*)(CDialog& dialog, WPARAM wParam, LPARAM lParam);

// Any id: the entry handles the message whatever its id.
inline constexpr UINT kAnyId = 0xFFFFFFFFu;

struct MessageEntry {
    UINT message;
    UINT id;    // WM_COMMAND: command or control id; WM_TIMER: timer id; otherwise kAnyId
    UINT code;  // WM_COMMAND: notification code
    MessageThunk thunk;

    bool Matches(UINT msg, WPARAM wParam) const;
};

class MessageMap {
public:
    template <std::size_t N>
    MessageMap(const MessageMap* base, const MessageEntry (&entries)[N])
        : base_(base), entries_(entries), count_(N) {}
    explicit MessageMap(const MessageMap* base) : base_(base), entries_(nullptr), count_(0) {}

    // The first entry for the message in this table, else in the base tables; null if none.
    const MessageEntry* Find(UINT message, WPARAM wParam) const;

private:
    const MessageMap* base_;
    const MessageEntry* entries_;
    std::size_t count_;
};

namespace message_map_detail {

template <class>
struct ClassOf;
template <class C, class R, class... Args>
struct ClassOf<R (C::*)(Args...)> {
    using type = C;
};

template <auto Handler>
INT_PTR CallPlain(CDialog& dialog, WPARAM, LPARAM) {
    using C = typename ClassOf<decltype(Handler)>::type;
    (static_cast<C&>(dialog).*Handler)();
    return TRUE;
}

template <auto Handler>
INT_PTR CallWithParams(CDialog& dialog, WPARAM wParam, LPARAM lParam) {
    using C = typename ClassOf<decltype(Handler)>::type;
    return (static_cast<C&>(dialog).*Handler)(wParam, lParam);
}

}  // namespace message_map_detail

// A command or a control notification: void Handler().
template <auto Handler>
constexpr MessageEntry OnCommand(UINT id, UINT code) {
    return {WM_COMMAND, id, code, &message_map_detail::CallPlain<Handler>};
}

// A button click (or a menu or keyboard command of that id): void Handler().
template <auto Handler>
constexpr MessageEntry OnClicked(UINT id) {
    return OnCommand<Handler>(id, BN_CLICKED);
}

// One timer of the window: void Handler().
template <auto Handler>
constexpr MessageEntry OnTimer(UINT timerId) {
    return {WM_TIMER, timerId, 0, &message_map_detail::CallPlain<Handler>};
}

// Any other message: INT_PTR Handler(WPARAM, LPARAM), returning what the dialog procedure
// returns.
template <auto Handler>
constexpr MessageEntry OnMessage(UINT message) {
    return {message, kAnyId, 0, &message_map_detail::CallWithParams<Handler>};
}
