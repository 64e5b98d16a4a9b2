// The one status line zorva-play keeps rewriting on a terminal.
#pragma once

#include <optional>

// "[########------------]   1.2 / 3.1 s" for a sound of known length (elapsed held at the length once it is
// reached), or the elapsed time alone; without a terminal nothing is shown.
class ProgressLine {
  public:
    ProgressLine();
    void Show(double elapsedSeconds, std::optional<double> lengthSeconds, bool looping);
    // Ends the line, so the shell's prompt starts on its own.
    void Finish();

  private:
    bool terminal;
    bool shown = false;
};
