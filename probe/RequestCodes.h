#pragma once

// Request codes: the rows of the request table beside them (RequestFrames.cpp),
// which gives each its frame and its reply time-out. RequestCode counts through the
// read and the write requests in this order.
enum : int {
  rqNone = 0,  // no request in flight
  rqSearch = 1,
  // The first read: every read request, type and checksum first.
  rqType = 10,
  rqChecksum = 11,
  rqAddress = 12,  // a re-read starts here, after the search
  rqOffset1 = 13,
  rqOffset2 = 14,
  rqProbeLength = 15,
  rqCurrent = 16,
  rqLevelAt4mA = 17,
  rqLevelAt20mA = 18,
  rqAlarmCurrent = 19,  // the last read request
  // The write of an RS-485 probe.
  rqWriteAddress = 20,
  rqWriteOffset1 = 21,
  rqWriteOffset2 = 22,
  // The write of a current-loop probe.
  rqWriteLevelAt4mA = 23,
  rqWriteLevelAt20mA = 24,
  rqWriteAlarmCurrent = 25,
  // Sent when the window closes on a current-loop probe; no reply awaited.
  rqReleaseLoop = 30,
  // Ends a write sequence.
  rqEndWrite = 50,
};
