#pragma once
// Typed messages from the worker to the window thread. The worker posts them;
// the window thread applies them in the order they were posted.

#include <string>
#include <variant>

namespace selvane {

struct SetStatusMsg { std::string text; };
struct SetAnimationMsg { bool running; };
struct SetClosePanelEnabledMsg { bool enabled; };
struct RequestShortcutMsg {};
struct WorkerEndedMsg {};
struct TerminateMsg {};

using UiMessage = std::variant<SetStatusMsg, SetAnimationMsg, SetClosePanelEnabledMsg,
                               RequestShortcutMsg, WorkerEndedMsg, TerminateMsg>;

}  // namespace selvane
