#pragma once
#include <pthread.h>

#include <atomic>

// The program's recursive lock. The owning thread may enter again and only
// counts the depth; the mutex is released when the owner has left as often
// as it entered. Leave by a thread that does not own the lock does nothing.
// If the mutex could not be initialised the lock does nothing at all, so the
// code it guards still runs (unguarded) instead of failing.
class CCriticalSection {
 public:
  CCriticalSection();
  ~CCriticalSection();
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter();
  void Leave();

  bool IsInitialized() const { return m_bInitialized; }
  // True when the calling thread holds the lock.
  bool IsOwnedByCaller() const;
  // Meaningful to the owning thread only.
  int Depth() const { return m_nDepth; }

 private:
  pthread_mutex_t m_mutex;
  // Written only by the thread that holds the mutex; a reader comparing it
  // with its own id can only see its own id when it really is the owner.
  std::atomic<pthread_t> m_owner{0};
  int m_nDepth = 0;
  bool m_bInitialized = false;
};

// Holds a CCriticalSection for a scope. The destructor also runs when the
// thread is cancelled inside the scope (cancellation unwinds the stack), so a
// cancelled thread never leaves the lock taken.
class CCriticalSectionLock {
 public:
  explicit CCriticalSectionLock(CCriticalSection& lock) : m_lock(lock) { m_lock.Enter(); }
  ~CCriticalSectionLock() { m_lock.Leave(); }
  CCriticalSectionLock(const CCriticalSectionLock&) = delete;
  CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

 private:
  CCriticalSection& m_lock;
};
