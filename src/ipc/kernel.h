// The few kernel services the editors of one user coordinate through: named
// mutexes, named page-file-backed mappings, mailslot existence (an editor is
// alive exactly while its inbox exists), the user name and the allocation
// granularity. Win32 implements it with the real objects; tests use an
// in-process fake that simulates several processes, including one that dies
// while it holds a lock. Names are Shift-JIS, as the editor builds them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace gorvane::ipc {

enum class WaitResult {
  Acquired,   // the mutex is this process's now
  Abandoned,  // also this process's now, but its last owner died holding it
  TimedOut,
  Failed,
};

class NamedMutex {
 public:
  virtual ~NamedMutex() = default;  // closes the handle (releasing nothing)
  // Waits at most timeoutMs milliseconds (0: only tries).
  virtual WaitResult Wait(std::uint32_t timeoutMs) = 0;
  virtual bool Release() = 0;
};

class MappedView {
 public:
  virtual ~MappedView() = default;  // unmaps
  virtual std::span<std::uint8_t> bytes() = 0;
};

class SharedMapping {
 public:
  virtual ~SharedMapping() = default;  // closes the handle
  virtual std::uint64_t size() const = 0;
  // A view of [offset, offset + length); offset is a multiple of the
  // allocation granularity. Null on failure.
  virtual std::unique_ptr<MappedView> Map(std::uint64_t offset, std::uint32_t length) = 0;
};

// What waits at the head of an inbox. A message may be empty: a writer can
// send zero bytes, and such a message waits like any other until it is read.
struct NextMessage {
  enum class State : std::uint8_t {
    kNone,     // no message waits
    kWaiting,  // one does, of `size` bytes (0 for an empty one)
    kFailed,   // the inbox could not be asked (LastErrorText says why)
  };
  State state = State::kNone;
  std::uint32_t size = 0;
  bool waiting() const { return state == State::kWaiting; }
  bool failed() const { return state == State::kFailed; }
};

// An inbox: messages other processes wrote, each read whole.
class Mailslot {
 public:
  virtual ~Mailslot() = default;  // closes it: the name is free again
  virtual NextMessage Next() = 0;
  // Reads the next message (an empty one too) into dst and takes it off the
  // inbox; the number of bytes read, -1 on failure or when none waits (a
  // message larger than dst is a failure and stays waiting).
  virtual std::int64_t Read(std::span<std::uint8_t> dst) = 0;
};

struct Created {
  bool existed = false;  // the object was there already (and was opened instead)
};

class Kernel {
 public:
  virtual ~Kernel() = default;
  // Creates a named mutex, owned by this process when it is new and
  // initialOwner is set; opens it when it exists (then not owned; *created
  // says so). Null on failure.
  virtual std::unique_ptr<NamedMutex> CreateMutex(const std::string& name, bool initialOwner, Created* created) = 0;
  // Opens an existing mutex; null when there is none.
  virtual std::unique_ptr<NamedMutex> OpenMutex(const std::string& name) = 0;
  // Creates a named mapping of `size` zeroed bytes backed by the page file,
  // or opens the existing one (its size may differ). Null on failure.
  virtual std::unique_ptr<SharedMapping> CreateMapping(const std::string& name, std::uint64_t size,
                                                       Created* created) = 0;
  // Opens an existing mapping; null when there is none.
  virtual std::unique_ptr<SharedMapping> OpenMapping(const std::string& name) = 0;
  // Creates this process's inbox (maxMessage: the largest message accepted,
  // 0 any). Null when the name is taken or on failure.
  virtual std::unique_ptr<Mailslot> CreateMailslot(const std::string& name, std::uint32_t maxMessage) = 0;
  // Writes one message into the named inbox; false when there is none or
  // the write failed.
  virtual bool WriteMailslot(const std::string& name, std::span<const std::uint8_t> message) = 0;
  // Whether a mailslot of this name exists (some process owns it).
  virtual bool MailslotExists(const std::string& name) = 0;
  virtual std::uint32_t AllocationGranularity() = 0;
  // The Windows user name (Shift-JIS); false when it cannot be had.
  virtual bool UserName(std::string* name) = 0;
  virtual std::uint32_t ProcessId() = 0;
  // The system's text for the last failure (for messages).
  virtual std::string LastErrorText() = 0;
};

// The system's kernel (Win32 only).
std::unique_ptr<Kernel> CreateSystemKernel();

}  // namespace gorvane::ipc
