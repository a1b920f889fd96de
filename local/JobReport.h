#pragma once

#include <string>

// What a job tells when it has ended: why it could not finish (text, shown
// in a box with this caption and owner), and what it found and repaired on
// its way (note), which is told even when the job succeeded. The window
// shows it in a message box; the command line writes it to its log. A job
// tells it once, after it has put every file and the registry back in order.
struct TProblem {
    std::string text;
    std::string caption = "Problem";
    bool owned = true;  // the window's box is owned by the main window
    std::string note;

    bool Set() const { return !text.empty(); }
};

// Keeps the first problem of a job; later ones are consequences of it.
inline bool Fail(TProblem& problem, const std::string& text, const std::string& caption = "Problem",
                 bool owned = true)
{
    if (!problem.Set()) {
        problem.text = text;
        problem.caption = caption;
        problem.owned = owned;
    }
    return false;
}

// Adds a sentence to what the job tells whatever its outcome.
inline void Note(TProblem& problem, const std::string& sentence)
{
    problem.note += (problem.note.empty() ? "" : " ") + sentence;
}

// All that the job tells: the problem, then the note; empty when it has
// nothing to tell.
inline std::string ReportText(const TProblem& problem)
{
    if (problem.note.empty())
        return problem.text;
    return problem.Set() ? problem.text + "\n\n" + problem.note : problem.note;
}
