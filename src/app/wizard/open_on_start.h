// The wizard started with a picture file (an "Open with" of the desktop): the
// open route as if the user had picked that file on the content page.
#pragma once

#include <string>

class CDlgFrame;

// Once the frame has all its pages: full screen, start from existing pictures,
// the content page picks `path` and goes on to the picture editor. A file that
// cannot be loaded shows "Invalid picture :" and the start page. An empty path
// does nothing. Returns false when the file was not opened.
bool OpenPictureOnStart(CDlgFrame& frame, const std::string& path);

// The picture named on the command line: the first argument that is not an
// option ("--" ends the options), made absolute; empty when there is none.
std::string PictureFromArguments(int argc, const char* const* argv);
