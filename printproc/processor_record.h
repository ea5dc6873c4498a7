// The handle OpenPrintProcessor gives the spooler: one record per job, holding what the
// spooler said about the job, the spooler services its copy uses, and the job's controls.
// It is the processor's only state.
//
// Controls arrive on other threads than the copy's: pause stops the copy between two writes
// until resume, cancel or close; cancel and close end it there. A record lives as long as
// its users: the spooler's handle (until ClosePrintProcessor) and a copy in progress. The
// spooler closes a handle after PrintDocumentOnPrintProcessor has returned; a close that comes
// while the copy still runs ends the copy at its next write, and the copy frees the record
// when it returns, so no thread is left with freed memory and the close never waits.
#pragma once

#include <windows.h>
#include <winsplp.h>

#include "spooler_calls.h"

struct ProcessorRecord {
    DWORD signature;              // kRecordSignature while the record is in use
    volatile LONG references;     // the spooler's handle, and a copy in progress
    CRITICAL_SECTION lock;        // guards the four flags
    HANDLE hGoOn;                 // manual-reset event: set unless the job is paused
    bool paused, cancelled, closed, copying;
    DWORD jobId;
    LPWSTR portName;              // as the spooler gave it
    LPWSTR printerName, documentName, outputFile, datatype;
    SpoolerCalls spooler;
};

// A record for a job of `portName`; null with the error set (ERROR_INVALID_PARAMETER,
// ERROR_INVALID_DATATYPE for anything but RAW, ERROR_NOT_ENOUGH_MEMORY, or the error of
// loading the spooler's library).
ProcessorRecord* CreateRecord(LPCWSTR portName, const PRINTPROCESSOROPENDATA* openData);
// The record behind a handle the spooler passes; null, with ERROR_INVALID_HANDLE, for a null
// handle, one that is not a record, or one already closed.
ProcessorRecord* RecordFromHandle(HANDLE handle);
// The spooler's close: the copy in progress, if any, ends at its next write.
void CloseRecord(ProcessorRecord* record);
// JOB_CONTROL_PAUSE, JOB_CONTROL_RESUME or JOB_CONTROL_CANCEL; FALSE with
// ERROR_INVALID_PARAMETER for any other command.
BOOL ControlRecord(ProcessorRecord* record, DWORD command);

// A copy takes the record for its duration. False, with ERROR_BUSY, while another copy of the
// same record runs.
bool BeginCopy(ProcessorRecord* record);
void EndCopy(ProcessorRecord* record);
// Called by the copy before each write: returns at once unless the job is paused, then waits
// for resume, cancel or close. False when the copy is to end (cancelled or closed).
bool MayGoOn(ProcessorRecord* record);

// The copy itself (raw_copy.cpp): the job `jobName` ("<printer>, Job N") read from the
// spooler and written to the record's port. TRUE when the job was copied or cancelled.
BOOL CopyRawJob(ProcessorRecord* record, LPCWSTR jobName);

// "RAW", in any letter case: the one data type this processor takes.
bool IsRawDatatype(LPCWSTR datatype);
