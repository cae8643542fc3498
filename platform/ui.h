// Modal message boxes, and where a person can see them.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// What a box answers when nobody pressed a button in time: WTSSendMessageW's IDTIMEOUT.
constexpr int kAnswerTimedOut = 32000;

// MessageBoxW with no owner window; returns the button pressed (IDOK 1, IDCANCEL 2, IDRETRY 4),
// or 0 / -1 when no box could be shown. With a timeout (milliseconds, 0: none) a box nobody
// answered in time is closed and kAnswerTimedOut returned.
int ShowMessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type,
                   std::uint32_t timeoutMilliseconds = 0);

// Where this process's windows appear.
struct WindowStation {
    std::wstring name;         // "WinSta0" where a person works
    bool visible = false;      // WSF_VISIBLE: a person can see and answer a box shown there
    std::uint32_t session = 0; // the process's own session
};
// The process's window station. One that cannot be asked counts as not visible: a box there
// might wait for ever, while a box not shown costs only a line of the log.
WindowStation ProcessWindowStation();

// Since Windows Vista session 0 holds services alone: no person works there, and nobody sees its
// desktops. Its WinSta0 reports itself visible all the same (an agent that starts a program on
// winsta0\default in session 0 does, and so does psexec -s -i 0).
inline constexpr std::uint32_t kServicesSession = 0;
// Whether a person can see and answer a box shown on `station`: never in session 0, whatever
// the station's flag says.
inline bool PersonCanSee(const WindowStation& station) {
    return station.visible && station.session != kServicesSession;
}

// The account working in session `session` (WTSQuerySessionInformationW), as DOMAIN\user;
// empty when nobody is logged on there or it cannot be told.
std::wstring SessionUserName(std::uint32_t session);

// Shows a box on the desktop of session `session` (WTSSendMessageW, from a station nobody sees
// to the person working in that session) and waits at most `timeoutSeconds` for the answer:
// the button pressed, or kAnswerTimedOut. False when the box could not be sent; the thread's
// last error tells why.
bool ShowMessageBoxInSession(std::uint32_t session, const std::wstring& text,
                             const std::wstring& caption, std::uint32_t type,
                             std::uint32_t timeoutSeconds, int& answer);

} // namespace platform
