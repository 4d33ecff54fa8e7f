#include <cstdlib>
#include <cstring>
#include <exception>

#include "os/platform.h"

namespace swug::platform {

namespace {

// What std::terminate ends the process with.
int terminate_fd = 2;
const char* terminate_text = "";
int terminate_status = 1;

[[noreturn]] void end_on_terminate() {
    clean_up_at_once();
    (void)write_all(terminate_fd, terminate_text, std::strlen(terminate_text));
    std::_Exit(terminate_status);
}

}  // namespace

void end_terminate_with(int fd, const char* text, int status) {
    terminate_fd = fd;
    terminate_text = text;
    terminate_status = status;
    std::set_terminate(end_on_terminate);
}

}  // namespace swug::platform
