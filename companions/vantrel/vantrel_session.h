// The info window's inbox and answers over the kernel: reads every waiting
// message whole, logs it (test mode), hands it to the model and carries out
// what the model asks: the first byte of a mark-jump mapping, the window's
// events, the answers into editor inboxes. A double click on a hit becomes a
// tag jump written to the editor, or an editor started when it is gone; one
// on a bookmark a mark jump.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ipc/kernel.h"
#include "ipc/messenger.h"
#include "companions/vantrel/vantrel_model.h"

namespace gorvane::vantrel {

// Starts a program from a Shift-JIS command line (the system's on Windows).
using EditorStarter = ipc::ProgramStarter;

class VantrelSession {
 public:
  // Takes each log record (LogRecord) as it is made.
  using LogSink = std::function<void(std::string_view record)>;
  using EventSink = std::function<void(const Event& event)>;

  VantrelSession(ipc::Kernel& kernel, VantrelModel& model) : kernel_(kernel), model_(model) {}

  // Creates our inbox; false when the name is taken (another info window of
  // this number runs) or on failure.
  bool Open();
  void SetLog(LogSink log) { log_ = std::move(log); }

  // Reads and handles at most `limit` waiting messages, each whole whatever
  // its size (empty ones too); the number read, -1 when the inbox failed
  // (what was read before is handled; the next poll tries again).
  int Poll(const EventSink& onEvent, int limit = 256);

  // A double click on hit `index`; returns the text for the status line
  // (Shift-JIS, "" for none).
  std::string Jump(std::size_t index, EditorStarter& starter);
  // A double click on bookmark `index`: its editor jumps to it. Returns the
  // text for the status line ("" for none).
  std::string JumpToMark(std::size_t index);
  // The user deletes bookmark `index`: its editor is told.
  void DeleteMark(std::size_t index, const EventSink& onEvent);

  std::uint64_t failedWrites() const { return failedWrites_; }
  std::uint64_t failedMarkFiles() const { return failedMarkFiles_; }

 private:
  void Apply(const Effects& fx, const EventSink& onEvent);

  ipc::Kernel& kernel_;
  VantrelModel& model_;
  std::unique_ptr<ipc::Mailslot> inbox_;
  std::vector<std::uint8_t> buffer_;
  LogSink log_;
  std::uint64_t failedWrites_ = 0, failedMarkFiles_ = 0;
};

}  // namespace gorvane::vantrel
