#pragma once
// The windows' font families mapped to installed faces.

// "宋体" to a Song face, "微软雅黑" to a Hei face, "MS Sans Serif" to a sans
// face. Call once after the application object exists.
void InstallFontSubstitutions();
