#include "participant.h"

#include <memory>
#include <new>

namespace runtime_detail {

namespace {

Participant firstLauncher;  // plain data, never destroyed
std::atomic<bool> firstLauncherTaken{false};

thread_local constinit Participant* participantOfThread = nullptr;

// Owns the participant of a launching thread other than the first, until the thread ends.
struct OwnedParticipant {
  std::unique_ptr<Participant> participant;
  ~OwnedParticipant() {
    if (participant && participantOfThread == participant.get()) {
      useThreadFramePool(nullptr);
      participantOfThread = nullptr;
    }
  }
};

}  // namespace

Participant* participantOfThisThread() {
  if (participantOfThread == nullptr) {
    if (!firstLauncherTaken.exchange(true, std::memory_order_acq_rel)) {
      participantOfThread = &firstLauncher;
    } else {
      static thread_local OwnedParticipant owned;
      owned.participant.reset(new (std::nothrow) Participant);
      participantOfThread = owned.participant.get();
      if (participantOfThread == nullptr) return nullptr;
    }
    useThreadFramePool(&participantOfThread->frames);
  }
  return participantOfThread;
}

}  // namespace runtime_detail
