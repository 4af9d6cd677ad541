#include "PollingWatch.h"

namespace brelio::test {

CPollingWatch::CPollingWatch(std::function<void()> look) : m_look(std::move(look)) {
    const HRESULT started = m_thread.Create(
        [](void* param) -> DWORD {
            auto* self = static_cast<CPollingWatch*>(param);
            while (!self->m_done) {
                self->m_look();
                self->m_looked = true;
                ::Sleep(5);
            }
            return 0;
        },
        this, 0);
    while (SUCCEEDED(started) && !m_looked) ::Sleep(1);
}

CPollingWatch::~CPollingWatch() { Finish(); }

void CPollingWatch::Finish() {
    m_done = true;
    m_thread.Close(INFINITE);
}

}  // namespace brelio::test
