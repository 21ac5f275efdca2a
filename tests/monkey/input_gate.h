#pragma once

// Whether the program lets user input in at this moment. The offscreen platform has no input of its
// own and the monkey hands its input straight to the widgets, so Qt's own filter
// (QEventLoop::ExcludeUserInputEvents) never sees it: the monkey asks here instead.
//
// Input is kept out inside a QCoreApplication::processEvents call with ExcludeUserInputEvents (the
// progress of a transfer), unless an event loop started inside it (a message or dialog it opened).
bool UserInputAllowed();
