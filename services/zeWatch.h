// File and folder watches: has a file been rewritten, which files below a
// folder changed. Each watch has its own waiting thread that only raises a
// flag; every decision is taken on the main thread when it polls.
//
// File watches and folder watches live in two tables of 100 identifiers,
// created on first use and kept until the process ends.
#pragma once

// --- File watches --------------------------------------------------------------
// 0, or -1 with "invalid FileWatch ID %d : %s".
int zeFileWatchCreate(const char* path, int id);
// 1 when the file was rewritten since the last re-arm, else 0 (-1: unknown id).
int zeFileWatchChanged(int id);
// After handling a change: the file as read (see Lock) becomes the reference.
int zeFileWatchRearm(int id);
// Waits up to timeoutMs until the file can be read whole: it opens, and no
// process holds it open for writing or write-locked. 0, or -1 on timeout (the
// change then stays pending). The file stays open until Unlock or the next Lock.
int zeFileWatchLock(int id, int timeoutMs);
int zeFileWatchUnlock(int id);
// Stops the watch and frees its identifier. 0, or -1 when it does not exist.
int zeFileWatchDelete(int id);

// --- Folder watches ------------------------------------------------------------
// Watches the folder and its sub-folders two levels down. 0, or -1 with
// "invalid FileWatch ID %d : %s".
int zeFolderWatchCreate(const char* path, int id);
int zeFolderWatchHasChanges(int id);
// Only when changes are pending: the files written since creation or the last
// reset (at most 10 full paths; the list stays valid until the next call for
// this watch). Returns the count, 0 when nothing is pending, -1 for an unknown id.
int zeGetFolderWatchChanges(int id, const char* const** list);
int zeFolderWatchReset(int id);
int zeFolderWatchDelete(int id);
