#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <map>

#include "local/LocalExports.h"
#include "local/OutputSet.h"
#include "tests/wine/Harness.h"

using sandbox::Exists;
using sandbox::Read;

namespace {

const std::vector<std::string> kOwn = {"a.txt", "b.txt", "c.txt", "Source.txt"};
using Files = std::map<std::string, std::string>;

// Writes each file, making its folder; a name ending in "\" makes a folder.
void Put(const std::string& folder, const Files& files)
{
    sandbox::MakeDirs(folder);
    for (const auto& file : files) {
        const std::string path = folder + "\\" + file.first;
        sandbox::MakeDirs(path.substr(0, path.find_last_of('\\')));
        if (path.back() != '\\')
            sandbox::Write(path, file.second);
    }
}

// The files of a folder with their texts, the folders in it as "name\".
Files Contents(const std::string& folder)
{
    Files files;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry)) {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            files[name + "\\"] = "";
        else
            files[name] = sandbox::Read(folder + "\\" + name);
    }
    FindClose(find);
    return files;
}

const std::string kLeft = "An earlier export that did not finish left ";

}  // namespace

// A commit whose undo cannot move an earlier file back keeps the work folder
// with it and says where it is; the next job puts it back.
TEST(OutputSet, AnUndoThatFailsKeepsTheEarlierFilesForTheNextJob)
{
    const std::string out = sandbox::FreshDir("set-undo") + "\\carol";
    const Files earlier = {
        {"a.txt", "old a"}, {"b.txt", "old b"}, {"Source.txt", "old source"}, {"notes.txt", "mine"}};
    Put(out, earlier);
    std::string work;
    {
        // b.txt moves aside, but neither its new file in nor the earlier one back.
        TOutputSet set(out, kOwn, [&](const char* from, const char* to) {
            const std::string path = from;
            if (path != out + "\\b.txt" && path.size() > 6 && path.substr(path.size() - 6) == "\\b.txt")
                return SetLastError(ERROR_ACCESS_DENIED), FALSE;
            return MoveFileA(from, to);
        });
        TProblem problem;
        ASSERT_TRUE(set.Begin(problem)) << problem.text;
        work = set.Work();
        Put(work, {{"a.txt", "new a"}, {"b.txt", "new b"}});
        EXPECT_FALSE(set.Finish(true, SourceFacts(), problem));
        EXPECT_EQ(problem.text, "The file " + out + "\\b.txt cannot be written (error 5).\n\nSome of the earlier "
                                "files could not be put back: the earlier files are in " + work + "\\~old. A later "
                                "export to " + out + " puts them back.");
    }
    EXPECT_EQ(Contents(out), (Files{{"Source.txt", "old source"}, {"notes.txt", "mine"}}));
    EXPECT_EQ(Contents(work + "\\~old"), (Files{{"a.txt", "old a"}, {"b.txt", "old b"}}));

    TOutputSet next(out, kOwn);
    TProblem problem;
    EXPECT_TRUE(next.Begin(problem)) << problem.text;
    EXPECT_EQ(problem.note,
              kLeft + work + "; the earlier files in " + out + " were put back from it, and it was removed.");
    EXPECT_EQ(Contents(out), earlier);
    EXPECT_FALSE(Exists(work));
}

// A leftover of a run that ended is repaired by how far its commit had got,
// which its ~old and its mark tell; files not the set's own stay.
TEST(OutputSet, LeftoversOfRunsThatEndedAreRepaired)
{
    const std::string dir = sandbox::FreshDir("set-left");
    sandbox::Child ended;
    ended.End();
    const struct {
        const char* what;
        Files out, left, after;
        std::string told;  // OUT for the output folder
    } cases[] = {
        {"cut while moving in",
         {{"a.txt", "new a"}, {"c.txt", "new c"}, {"notes.txt", "mine"}},
         {{"~in", ""}, {"~old\\a.txt", "old a"}, {"~old\\b.txt", "old b"}, {"~old\\Source.txt", "old src"},
          {"b.txt", "new b"}, {"Source.txt", "new src"}},
         {{"a.txt", "old a"}, {"b.txt", "old b"}, {"Source.txt", "old src"}, {"notes.txt", "mine"}},
         "the earlier files in OUT were put back from it"},
        {"cut while moving aside, Source.txt still there",
         {{"b.txt", "old b"}, {"Source.txt", "old src"}},
         {{"~old\\a.txt", "old a"}, {"a.txt", "new a"}, {"Source.txt", "new src"}},
         {{"a.txt", "old a"}, {"b.txt", "old b"}, {"Source.txt", "old src"}},
         "the earlier files in OUT were put back from it"},
        {"cut once the new set was whole",
         {{"a.txt", "new a"}, {"Source.txt", "new src"}},
         {{"~in", ""}, {"~old\\a.txt", "old a"}, {"~old\\b.txt", "old b"}, {"~old\\Source.txt", "old src"}},
         {{"a.txt", "new a"}, {"Source.txt", "new src"}},
         "nothing in OUT had to change"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string out = dir + "\\out" + std::to_string(++n);
        const std::string left = out + ".~new-" + std::to_string(ended.Id()) + "-3";
        Put(out, c.out);
        Put(left, c.left);
        TOutputSet set(out, kOwn);
        TProblem problem;
        EXPECT_TRUE(set.Begin(problem)) << problem.text;
        std::string told = c.told;
        told.replace(told.find("OUT"), 3, out);
        EXPECT_EQ(problem.note, kLeft + left + "; " + told + ", and it was removed.");
        EXPECT_EQ(Contents(out), c.after);
        EXPECT_FALSE(Exists(left));
    }
}

// A folder that a job of this process still holds, or one whose process
// runs, is no leftover: nothing in it or in the output folder changes.
TEST(OutputSet, WhatRunsIsLeftAlone)
{
    const std::string out = sandbox::FreshDir("set-alone") + "\\carol";
    const Files earlier = {{"b.txt", "old b"}}, left = {{"~old\\a.txt", "old a"}};
    Put(out, earlier);
    TOutputSet live(out, kOwn);
    TProblem problem;
    ASSERT_TRUE(live.Begin(problem));
    Put(live.Work(), left);
    sandbox::Child running;
    const std::string runs = out + ".~new-" + std::to_string(running.Id()) + "-1";
    Put(runs, left);

    EXPECT_TRUE(TOutputSet(out, kOwn).Begin(problem)) << problem.text;
    EXPECT_EQ(problem.note, "");
    EXPECT_EQ(Contents(out), earlier);
    for (const std::string& folder : {live.Work(), runs})
        EXPECT_EQ(Contents(folder + "\\~old"), (Files{{"a.txt", "old a"}})) << folder;
}

// Begin tells the error of the step that failed, and starts no job on top of
// earlier files that it could not put back.
TEST(OutputSet, BeginTellsWhyNothingWasExported)
{
    const std::string dir = sandbox::FreshDir("set-begin");
    sandbox::Write(dir + "\\file", "a file, not a folder");
    TProblem problem;
    EXPECT_FALSE(TOutputSet(dir + "\\file", kOwn).Begin(problem));
    EXPECT_EQ(problem.text, "The folder " + dir + "\\file cannot be created (error 183). Start the tool from a "
                            "folder it can write to. Nothing was exported.");

    // The file that an earlier one would come back to is there already.
    sandbox::Child ended;
    ended.End();
    const std::string out = dir + "\\carol", left = out + ".~new-" + std::to_string(ended.Id()) + "-1";
    Put(out, {{"a.txt", "someone's"}});
    Put(left, {{"~old\\a.txt", "old a"}, {"~old\\b.txt", "old b"}});
    problem = TProblem();
    EXPECT_FALSE(TOutputSet(out, kOwn).Begin(problem));
    EXPECT_EQ(problem.text, kLeft + left + ", and some of the earlier files could not be put back: the earlier files "
                            "are in " + left + "\\~old. Nothing was exported.");
    EXPECT_EQ(Contents(out), (Files{{"a.txt", "someone's"}}));
    EXPECT_EQ(Contents(left + "\\~old"), (Files{{"a.txt", "old a"}, {"b.txt", "old b"}}));
    Files beside = Contents(dir);
    beside.erase("carol.~lock");
    EXPECT_EQ(beside.size(), 3u) << "no work folder of its own beside the leftover";

    // Another run holds the folder's lock longer than a job waits for it.
    HANDLE held = CreateFileA((out + ".~lock").c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    problem = TProblem();
    EXPECT_FALSE(TOutputSet(out, kOwn, MoveFileA, 1000).Begin(problem));
    CloseHandle(held);
    EXPECT_EQ(problem.text, "Another run of the tool has been writing the files in " + out + " for 1 second (it holds " +
                            out + ".~lock). Nothing was exported.");
}

// A window's job whose undo failed keeps the earlier files in its work
// folder while its process runs on; meanwhile another run commits a newer
// set. Once that process has ended, what it kept is older than the set in
// place: discarded with a note, never merged, and later runs are ok.
TEST(OutputSet, ALeftoverOlderThanTheSetInPlaceIsDiscarded)
{
    const std::string dir = sandbox::FreshDir("set-obsolete"), out = dir + "\\CurrentUser";
    const auto run = [&] {
        EXPECT_EQ(sandbox::RunTool("/current /out " + dir, dir, dir + "\\stdout.txt"), 0u) << Read(dir + "\\stdout.txt");
        const std::vector<std::string> log = sandbox::Lines(Read(dir + "\\Movara.log"));
        return log.empty() ? std::string() : sandbox::LogEntry(log.back());
    };
    sandbox::SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,srv,Laser", "Server", "\\\\srv");
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\S", "RemotePath", "\\\\old\\share");
    EXPECT_EQ(run(), "current user\tok");
    ASSERT_TRUE(Exists(out + "\\mappedDrv.reg"));
    std::string work;
    {
        // Source.txt does not move in, and printers.prx does not move back.
        TOutputSet set(out, kCurrentUserFiles, [&](const char* from, const char* to) {
            const std::string path = from;
            const bool work = path.find(".~new-") != std::string::npos, old = path.find("\\~old\\") != std::string::npos;
            if ((work && !old && path.substr(path.size() - 11) == "\\Source.txt") ||
                (old && path.substr(path.size() - 13) == "\\printers.prx"))
                return SetLastError(ERROR_ACCESS_DENIED), FALSE;
            return MoveFileA(from, to);
        });
        TProblem problem;
        ASSERT_TRUE(set.Begin(problem)) << problem.text;
        work = set.Work();
        Put(work, {{"printers.reg", "new"}});
        EXPECT_FALSE(set.Finish(true, SourceFacts(), problem));
        ASSERT_NE(problem.text.find(work + "\\~old. A later export"), std::string::npos) << problem.text;
    }
    ASSERT_TRUE(Exists(work + "\\~old\\mappedDrv.reg"));
    sandbox::Child running;
    const std::string left = out + ".~new-" + std::to_string(running.Id()) + "-1";
    ASSERT_TRUE(MoveFileA(work.c_str(), left.c_str()));

    SHDeleteKeyA(HKEY_CURRENT_USER, "Network");
    EXPECT_EQ(run(), "current user\tok") << "a folder whose process runs is left alone";
    running.End();
    EXPECT_EQ(run(), "current user\tok: An earlier export that did not finish left " + left + "; the set in " + out +
                         " is newer than the files it held, so they were discarded, and it was removed.");
    EXPECT_FALSE(Exists(left));
    EXPECT_FALSE(Exists(out + "\\mappedDrv.reg")) << "a file of the older set came back";
    EXPECT_FALSE(Exists(out + "\\mappedDrv.prx"));
    EXPECT_TRUE(Exists(out + "\\printers.prx"));
    EXPECT_EQ(run(), "current user\tok");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
}

namespace {

struct TCommitter {
    std::string out;
    int id = 0;
    bool ok = false;
    std::string told;
};

// One run's job: a set of its own (a.txt and, by its id, b.txt or c.txt),
// each file tagged with the run, committed with moves slow enough that
// commits without the lock would interleave.
DWORD WINAPI Commit(LPVOID data)
{
    TCommitter& run = *static_cast<TCommitter*>(data);
    const std::string tag = "run " + std::to_string(run.id);
    TOutputSet set(run.out, kOwn, [](const char* from, const char* to) {
        Sleep(3);
        return MoveFileA(from, to);
    });
    TProblem problem;
    if (set.Begin(problem)) {
        Put(set.Work(), {{"a.txt", tag}, {run.id % 2 ? "b.txt" : "c.txt", tag}});
        SourceFacts facts;
        facts.name = tag;
        run.ok = set.Finish(true, facts, problem);
    }
    run.told = ReportText(problem);
    return 0;
}

}  // namespace

// Runs that commit into one output folder at once take turns: each succeeds,
// and the folder holds one whole set, never a mix, with nothing left beside.
TEST(OutputSet, RunsCommittingIntoOneFolderLeaveOneWholeSet)
{
    const std::string dir = sandbox::FreshDir("set-together"), out = dir + "\\carol";
    Put(out, {{"a.txt", "old"}, {"b.txt", "old"}, {"c.txt", "old"}, {"Source.txt", "old"}});
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        TCommitter runs[3];
        HANDLE threads[3];
        for (int r = 0; r < 3; ++r) {
            runs[r].out = out;
            runs[r].id = round * 3 + r;
            threads[r] = CreateThread(nullptr, 0, Commit, &runs[r], 0, nullptr);
        }
        WaitForMultipleObjects(3, threads, TRUE, 120000);
        for (int r = 0; r < 3; ++r) {
            CloseHandle(threads[r]);
            EXPECT_TRUE(runs[r].ok) << runs[r].told;
            EXPECT_EQ(runs[r].told, "");
        }
        Files set = Contents(out);
        const std::string tag = set["a.txt"];
        const int id = std::atoi(tag.c_str() + 4);
        EXPECT_EQ(set.size(), 3u);
        EXPECT_EQ(set[id % 2 ? "b.txt" : "c.txt"], tag);
        EXPECT_NE(set["Source.txt"].find("the user who ran the tool, " + tag + "\r\n"), std::string::npos)
            << set["Source.txt"];
        EXPECT_EQ(Contents(dir), (Files{{"carol\\", ""}, {"carol.~lock", Read(out + ".~lock")}}));
    }
}
