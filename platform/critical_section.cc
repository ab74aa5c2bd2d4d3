#include "platform/critical_section.h"

CCriticalSection::CCriticalSection() { m_bInitialized = pthread_mutex_init(&m_mutex, nullptr) == 0; }

CCriticalSection::~CCriticalSection() {
  if (m_bInitialized) pthread_mutex_destroy(&m_mutex);
}

bool CCriticalSection::IsOwnedByCaller() const {
  return pthread_equal(m_owner.load(std::memory_order_relaxed), pthread_self());
}

void CCriticalSection::Enter() {
  if (!m_bInitialized) return;
  pthread_t self = pthread_self();
  if (pthread_equal(m_owner.load(std::memory_order_relaxed), self)) {
    ++m_nDepth;
    return;
  }
  pthread_mutex_lock(&m_mutex);
  m_owner.store(self, std::memory_order_relaxed);
  m_nDepth = 1;
}

void CCriticalSection::Leave() {
  if (!m_bInitialized) return;
  if (!pthread_equal(m_owner.load(std::memory_order_relaxed), pthread_self())) return;
  if (--m_nDepth > 0) return;
  m_owner.store(0, std::memory_order_relaxed);
  pthread_mutex_unlock(&m_mutex);
}
