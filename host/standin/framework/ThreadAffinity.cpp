#include "framework/ThreadAffinity.h"

#include <cstdlib>
#include <iostream>

namespace standin {

void ThreadAffinity::Fail(const char* call, std::thread::id bound) const
{
    std::cerr << m_owner << "::" << call << " called on thread " << std::this_thread::get_id() << ", but " << m_owner
              << " belongs to thread " << bound << std::endl;
    std::abort();
}

} // namespace standin
