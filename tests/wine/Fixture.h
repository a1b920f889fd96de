#pragma once
// What most end-to-end tests share: a profiles directory that looks like an
// XP machine's, and the tool started from a tool folder of its own.
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/Driver.h"
#include "tests/wine/Sandbox.h"

namespace fixture {

// "All Users", a hidden "Default User", "alice" and "bob smith" under the
// system profiles directory (C:\users under Wine).
void PrepareProfiles();

// Copies the tool into a fresh folder C:\mvt\<name>\tool and starts it there
// (the folder is its start directory and so its tool folder).
std::string StartTool(driver::Tool& tool, const std::string& name, const std::string& stdoutFile = "");

// Ends the tool by its Exit button and expects exit code 0.
void EndTool(driver::Tool& tool);

// Answers the one message box with this caption and returns its text.
std::string AnswerBox(const driver::Tool& tool, const std::string& caption);

}  // namespace fixture
