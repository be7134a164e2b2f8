#pragma once
// Another program holding a write lease on a file, as a file server does:
// a process of its own that says when someone opens the file (the lease's
// break) and lets go only when told, or when the test goes. Taking a lease
// needs the file's owner or the superuser; next() says whether it was
// taken.

#include <string>

#include <sys/types.h>

namespace kestrel {
namespace test {

class lease_holder {
public:
    explicit lease_holder(const std::string& path);
    ~lease_holder();
    lease_holder(const lease_holder&) = delete;
    lease_holder& operator=(const lease_holder&) = delete;

    // 'l' once the lease is held, 'n' when none could be, 'b' when someone
    // opens the file; 0 when nothing came within 5 s.
    char next();
    // The lease goes with the holder, which is waited for.
    void let_go();

private:
    pid_t pid_ = -1;
    int tell_ = -1;
    int hear_ = -1;
};

} // namespace test
} // namespace kestrel
