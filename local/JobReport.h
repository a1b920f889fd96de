#pragma once

#include <string>

// What a job tells when it cannot finish: the one way its outcome leaves it.
// The window shows it in a message box; the command line writes it to its
// log. A job has at most one, told when the job has ended, after it has put
// every file and the registry back in order.
struct TProblem {
    std::string text;
    std::string caption = "Problem";
    bool owned = true;  // the window's box is owned by the main window
    // What a job that did its work still has to tell, such as something it
    // could not include; told where no problem is.
    std::string note;

    bool Set() const { return !text.empty(); }
};

// Keeps the first problem of a job; later ones are consequences of it.
inline bool Fail(TProblem& problem, const std::string& text, const std::string& caption = "Problem",
                 bool owned = true)
{
    if (!problem.Set())
        problem = TProblem{text, caption, owned, problem.note};
    return false;
}

inline void Note(TProblem& problem, const std::string& text)
{
    problem.note += (problem.note.empty() ? "" : " ") + text;
}
