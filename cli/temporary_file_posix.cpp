// SPDX-License-Identifier: MIT
#include "temporary_file.hpp"

#include "file_replacement.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace quillmere::cli::os {
namespace {

// The one temporary file an interrupt removes, kept where a signal handler can read it.
char temporaryPath[4096];
volatile std::sig_atomic_t temporaryExists = 0;

// The signals whose default action ends the process, all but SIGKILL, which cannot be caught.
// The crash signals are among them, so that a file is removed also when one is sent from outside.
constexpr int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};

// Calls `visit` with every signal whose default action ends the process, the real-time signals
// (whose numbers are known only at run time) included.
template <typename Visit>
void ForEachEndingSignal(Visit visit) {
  for (const int signal : kEndingSignals) {
    visit(signal);
  }
#if defined(SIGRTMIN) && defined(SIGRTMAX)
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
    visit(signal);
  }
#endif
}

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  ForEachEndingSignal([&set](int signal) { sigaddset(&set, signal); });
  return set;
}

// Removes the temporary file, then ends the process by the same signal with its default action,
// so that the caller sees the usual status (130 for SIGINT, 143 for SIGTERM in a shell). Uses only
// calls that are safe in a signal handler.
void RemoveTemporaryAndEnd(int signal) {
  if (temporaryExists != 0) {
    unlink(temporaryPath);
  }
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);
}

// Installs RemoveTemporaryAndEnd, once, for every signal that ends the process by default. A
// signal the caller chose to ignore (nohup, a background job) stays ignored, and one that already
// has a handler in this process (a sanitizer's) keeps it.
void CatchInterrupts() {
  static bool installed = false;
  if (installed) {
    return;
  }
  installed = true;
  const sigset_t all = InterruptSet();
  ForEachEndingSignal([&all](int signal) {
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
        current.sa_handler != SIG_DFL) {
      return;
    }
    struct sigaction action = {};
    action.sa_handler = RemoveTemporaryAndEnd;
    action.sa_mask = all;
    sigaction(signal, &action, nullptr);
  });
}

// Holds back the interrupts while it lives, so that the temporary file and its record change
// together; a held interrupt arrives when it ends. Keeps errno.
class InterruptsHeld {
public:
  InterruptsHeld() noexcept {
    const sigset_t interrupts = InterruptSet();
    sigprocmask(SIG_BLOCK, &interrupts, &saved_);
  }
  ~InterruptsHeld() {
    const int error = errno;
    sigprocmask(SIG_SETMASK, &saved_, nullptr);
    errno = error;
  }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
  sigset_t saved_;
};

} // namespace

TemporaryFile::TemporaryFile(std::string path) noexcept : path_(std::move(path)) {
  if (path_.size() >= sizeof temporaryPath) {
    errno = ENAMETOOLONG;
    return;
  }
  CatchInterrupts();
  const InterruptsHeld held;
  descriptor_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor_ >= 0) {
    std::memcpy(temporaryPath, path_.c_str(), path_.size() + 1);
    temporaryExists = 1;
    exists_ = true;
  }
}

bool TemporaryFile::Close() noexcept {
  if (descriptor_ < 0) {
    return true;
  }
  const int descriptor = std::exchange(descriptor_, -1);
  return close(descriptor) == 0;
}

bool TemporaryFile::Replace(const std::string& target) noexcept {
  const InterruptsHeld held;
  if (!RenameOver(path_, target)) {
    return false;
  }
  temporaryExists = 0;
  exists_ = false;
  return true;
}

void TemporaryFile::Remove() noexcept {
  Close();
  if (!exists_) {
    return;
  }
  const InterruptsHeld held;
  unlink(path_.c_str());
  temporaryExists = 0;
  exists_ = false;
}

} // namespace quillmere::cli::os
