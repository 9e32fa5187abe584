// The folder an installed tarvo2 works in when it is started from the desktop menu.
#pragma once

#include <QString>

// Leaves the current folder as it is when it holds prog.par, or when the program is not an
// installed one. Otherwise makes ~/Tarvo the current folder, setting it up on the first start with
// copies of the installed files (prog.par, the examples, autoread.txt) and a param.par of
// defaults. Returns a message when ~/Tarvo cannot be set up; the window then stays where it was.
QString ChooseWorkingFolder();
