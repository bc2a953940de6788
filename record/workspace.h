// The workspace file "exam.dat": the exam record's 144 bytes, nothing else,
// so that an interrupted exam comes back with the same student and questions.
#pragma once

#include "platform/platform.h"
#include "record/exam_files.h"
#include "record/record.h"

// Makes this copy of the program the one that saves the exam in the working
// folder, for as long as it runs (lockExamFolder): two copies saving one
// exam would each replace the other's saves. Holding it, removes the temp
// files a killed save left. Returns 0 when this copy holds the folder, 1 when
// another running copy does (nothing has been touched), -1 when the folder
// cannot be locked: go on unguarded then, stray temp files left alone.
// `byKey`: the answer key claims it (lockExamFolder).
int claimWorkspace(bool byKey = false);

// Looks for the workspace at start-up.
// Returns 1 when it exists and is readable, 0 when there was none (an empty one is created, if the folder lets
// us), -1 when it exists but cannot be read: the reason is printed on stderr
// and the file is left untouched.
int probeWorkspace();

// Replaces the workspace with the record. A crash at any instant leaves
// either the old file or the new one, never a torn one.
// Returns 0, or -1 with errno set; the old file then stays as it was and no
// temporary file is left.
int saveWorkspace(const ExamRecord& record);

// The same, through the given file operations; tests pass failing ones.
int saveWorkspaceWith(const ExamRecord& record, const FileOps& files);

// Reads the record at the start of the file at `path`, however long it is,
// opened as openRegularFile opens it, so that a pipe there is never waited
// on. Returns 0 when a full record was read, notRegularFile, or -1 (errno
// set when the system failed); the bytes that were read are in the record.
int loadRecordFile(const char* path, ExamRecord* record);

// Reads the record back. Returns 0 when a full record was read (a longer
// file gives its first 144 bytes), -1 otherwise; the bytes that were read
// are in the record, the rest of it is unchanged.
int loadWorkspace(ExamRecord* record);
