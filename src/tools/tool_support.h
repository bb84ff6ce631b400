// Helpers shared by the subcommands of tessary-anim: argument parsing,
// loading through the wizard's loading rules, and output files that appear
// only when complete.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class CRaster;
class CPictureHolder;
struct GifWriteOptions;

// Every line the tool prints on stderr starts with "tessary-anim: ", so a
// script can tell the tool's words from those of the programs around it. A
// progress bar on show (progress_bar.h) is cleared first.
//
// Prints "tessary-anim: <message>" on stderr and returns 1, the failure exit code.
int Fail(const std::string& message);
// Prints "tessary-anim: <message>" on stderr, for a failure with another exit
// code or a message of more than one line.
void PrintError(const std::string& message);
// Prints "tessary-anim: warning: <message>" on stderr; the work goes on.
void Warn(const std::string& message);

// Why a picture could not be loaded, in plain words: `sentence` names the file
// ("holiday.gif not found"), `cause` says the same after a text that already
// names it ("Invalid picture :holiday.gif (not found)").
struct LoadFailure {
    enum Kind { NotFound, Folder, Empty, Unreadable, UnknownType, Undecodable };
    Kind kind = Undecodable;
    std::string sentence;
    std::string cause;
};

// What can be told about the file before decoding it: not there, a folder,
// empty, not readable, or a name whose extension is no picture type. False with
// `failure` set in those cases; true when the decoders may try it.
bool CheckPictureFile(const std::string& path, LoadFailure* failure);

// While one of these lives, the boxes of the picture library and of the
// loading rules are kept instead of printed; the console boxes come back
// when it goes. One at a time.
class CBoxCollector {
public:
    CBoxCollector();
    ~CBoxCollector();
    CBoxCollector(const CBoxCollector&) = delete;
    CBoxCollector& operator=(const CBoxCollector&) = delete;

    // The failure of a decode of `path` (of its frame `frame` when not 0)
    // after these boxes, each different text once: "x.png cannot be read as a
    // PNG picture (Read Error)".
    LoadFailure DecodeFailure(const std::string& path, long frame = 0) const;
};

// True when the arguments ask for help (-h or --help anywhere).
bool WantsHelp(int argc, char** argv);

// Whole-text integer parsing: no sign-less garbage, no trailing characters.
bool ParseLong(const std::string& text, long* value);
// "a,b,c" into numbers; false unless every part is a number.
bool ParseLongList(const std::string& text, char separator, std::vector<long>* values);

// The text after the last dot of the file name, lower-cased; empty without one.
std::string LowerExtension(const std::string& path);

// Routes the boxes of the picture library and of the loading rules to stderr.
void InstallConsoleBoxes();

// Loads frame `frame` of a picture with the wizard's loading rules (every
// format allowed), warning when the file was cut short. On failure, `error`
// says why in one line, the file named: "holiday.gif not found", "anim.gif:
// frame 30 of a 24-frame GIF does not exist (frames count from 0)", "x.png
// cannot be read as a PNG picture (Read Error)".
bool LoadPicture(const std::string& path, long frame, CPictureHolder& holder, std::string* error);

// A picture whose file ended early still loads; this prints
// "tessary-anim: warning: FILE: what was missing" on stderr for it.
void WarnIfTruncated(const std::string& path, const CRaster* picture);

// Makes a fresh empty file ".NAME.tmp-XXXXXX" beside `path`, for a result that
// is renamed over `path` once complete. Returns its open descriptor and sets
// `tempPath`; returns -1 with `error` set when the file cannot be made.
int CreateTempBeside(const std::string& path, std::string* tempPath, std::string* error);

// An output file written under a temporary name in the destination folder and
// renamed over the destination only by Commit, so that a failure never leaves
// a half-written file behind.
class COutputFile {
public:
    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool Open(const std::string& path, std::string* error);
    FILE* Stream() const { return m_fp; }
    bool Commit(std::string* error);
    void Discard();

private:
    std::string m_path;
    std::string m_tempPath;
    FILE* m_fp = nullptr;
};

// Writes the picture as binary PPM (P6) or PAM (P7; RGB_ALPHA when the picture
// has an alpha plane), top row first, chosen by the extension of `path`.
bool WritePortableMap(const CRaster& picture, const std::string& path, std::string* error);

// Makes a picture ready to be a GIF frame: 24-bit pictures get an optimised
// palette; the frame delay survives the conversion.
bool PrepareGifFrame(CRaster& picture);

// --lzw (the LZW coder) and --optimize (LZW and frame differencing), taken by
// every command that writes a GIF: true when `arg` is one of them, which is
// then set in *options.
bool ParseGifWriteOption(const std::string& arg, GifWriteOptions* options);
// Their lines for a command's --help.
extern const char kGifWriteOptionsHelp[];

// Writes the frames as one looping animated GIF through the library's writer.
bool WriteGifFile(CRaster** frames, int count, const std::string& path, const GifWriteOptions& options,
                  std::string* error);
