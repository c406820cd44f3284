// A time zone (TZ) for the life of the object: restored when it goes, also
// when an assertion ends the test early, so no later test runs in it.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace ql::test {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* current = getenv("TZ")) saved_ = current;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> saved_;  // nothing when TZ was unset
};

}  // namespace ql::test
