// What assistive technology (a screen reader) learns of the window beyond
// the captions and hints Qt already gives it: the notes of the piano keys,
// the tempo bar's value as a tempo, and the status line, a status bar
// named by what it says (so each new text reaches it as a name change).
#pragma once

#include <QString>

namespace tonefield {

// The note a key plays in solfège with its octave: "ド 3" for key 0,
// "ド 4" for key 12 (the sample's own pitch, taken as middle C), "ラ♯ 5".
QString KeyNoteName(int key);
// The tempo bar's position 0..10 as a percentage of the score's own tempo:
// 50 at 0, 100 at 5, 200 at 10.
int TempoPercent(int position);

// Gives the tempo bar (object name "tempoBar") and the status line
// ("statusLine") their own accessible interfaces. Once per application.
void InstallAccessibleInterfaces();

}  // namespace tonefield
