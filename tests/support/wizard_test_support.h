// Helpers for the tests of the wizard and its pages: a Qt application, an isolated suite registry and
// settings store, and a recording movie that stands in for the QML movies.
#pragma once

#include "movie_ctrl.h"

#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wizard_test {

// Creates the QApplication once, with the suite registry in a fresh temporary
// folder and a settings store whose language is `language`.
void EnsureApp(const std::string& language = "EN");

// Writes the settings store used by the tests (the language and the wizard folders).
void WriteSettings(const std::string& language);

// Runs posted events until nothing is left (and at least `ms` milliseconds).
void Pump(int ms = 0);

// A movie that answers from a table and remembers every call it got.
class RecordingMovie : public MovieBackend {
public:
    void SetMovie(const std::string& url) override { calls.push_back("Movie " + url); }
    int FrameNum() override { return frame; }
    void GotoFrame(int n) override
    {
        frame = n;
        calls.push_back("GotoFrame " + std::to_string(n));
    }
    int FlashVersion() override { return version; }
    void TGotoFrame(const std::string& target, int n) override
    {
        clipFrames[target] = n;
        calls.push_back("TGotoFrame " + target + " " + std::to_string(n));
    }
    int TCurrentFrame(const std::string& target) override
    {
        auto it = clipFrames.find(target);
        return it == clipFrames.end() ? -1 : it->second;
    }
    void TPlay(const std::string& target) override { calls.push_back("TPlay " + target); }
    void SetVariable(const std::string& name, const std::string& value) override
    {
        variables[name] = value;
        calls.push_back("SetVariable " + name + " " + value);
    }
    std::string GetVariable(const std::string& name) override
    {
        auto it = variables.find(name);
        return it == variables.end() ? std::string() : it->second;
    }
    void TSetProperty(const std::string& target, int property, const std::string& value) override
    {
        calls.push_back("TSetProperty " + target + " " + std::to_string(property) + " " + value);
    }
    void TCallFrame(const std::string& target, int n) override
    {
        calls.push_back("TCallFrame " + target + " " + std::to_string(n));
    }

    int frame = 0;
    int version = CMovieCtrl::kPlayerVersion;
    std::map<std::string, int> clipFrames;
    std::map<std::string, std::string> variables;
    std::vector<std::string> calls;
};

// While alive, every movie control created gets a RecordingMovie; `version` is
// the player version the new movies report.
class RecordingMovies {
public:
    explicit RecordingMovies(int version = CMovieCtrl::kPlayerVersion);
    ~RecordingMovies();
    static RecordingMovie* Of(CMovieCtrl* control);
};

} // namespace wizard_test
