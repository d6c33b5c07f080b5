// Restarting Windows at the end of the run, when the user chose it.
#pragma once

namespace qv {

// On NT the shutdown privilege is enabled first. A failure is reported in a
// warning box ("设置程序不能重新启动计算机，请手工启动。"); the run ends normally.
// True when the restart was started.
bool RestartWindows();

}  // namespace qv
