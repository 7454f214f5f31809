// The mouse button a control's or the tray icon's mouse event reports.
#pragma once

enum class TMouseButton { Left, Right, Middle };
