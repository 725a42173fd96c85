// SANE's functions for the rest of the source manager, opened from libsane
// the first time one is called (module/Library.h): loading the manager, 500
// ms after the program's window is shown, maps no scanner library; the
// first look for a source does. These definitions stay inside the manager
// (its symbols are hidden but DSM_Entry).
//
// When libsane cannot be opened, sane_init fails, and every status text is
// the reason, so that the failure reads "... needs the library ...".

#include "platform/module/Library.h"

#include <mutex>
#include <sane/sane.h>
#include <string>

namespace {

struct SaneFunctions {
    decltype(&::sane_init) init = nullptr;
    decltype(&::sane_exit) exit = nullptr;
    decltype(&::sane_get_devices) getDevices = nullptr;
    decltype(&::sane_open) open = nullptr;
    decltype(&::sane_close) close = nullptr;
    decltype(&::sane_get_option_descriptor) getOptionDescriptor = nullptr;
    decltype(&::sane_control_option) controlOption = nullptr;
    decltype(&::sane_get_parameters) getParameters = nullptr;
    decltype(&::sane_start) start = nullptr;
    decltype(&::sane_read) read = nullptr;
    decltype(&::sane_cancel) cancel = nullptr;
    decltype(&::sane_set_io_mode) setIoMode = nullptr;
    decltype(&::sane_get_select_fd) getSelectFd = nullptr;
    decltype(&::sane_strstatus) strstatus = nullptr;
    std::string failure;  // why the library could not be had
};

const SaneFunctions& Sane() {
    static SaneFunctions functions;
    static std::once_flag opened;
    std::call_once(opened, [] {
        try {
            static const module::Library l(FLICKSTOW_SANE_LIBRARY, "Scanning");
            SaneFunctions f;
            f.init = FLICKSTOW_FUNCTION(l, sane_init);
            f.exit = FLICKSTOW_FUNCTION(l, sane_exit);
            f.getDevices = FLICKSTOW_FUNCTION(l, sane_get_devices);
            f.open = FLICKSTOW_FUNCTION(l, sane_open);
            f.close = FLICKSTOW_FUNCTION(l, sane_close);
            f.getOptionDescriptor = FLICKSTOW_FUNCTION(l, sane_get_option_descriptor);
            f.controlOption = FLICKSTOW_FUNCTION(l, sane_control_option);
            f.getParameters = FLICKSTOW_FUNCTION(l, sane_get_parameters);
            f.start = FLICKSTOW_FUNCTION(l, sane_start);
            f.read = FLICKSTOW_FUNCTION(l, sane_read);
            f.cancel = FLICKSTOW_FUNCTION(l, sane_cancel);
            f.setIoMode = FLICKSTOW_FUNCTION(l, sane_set_io_mode);
            f.getSelectFd = FLICKSTOW_FUNCTION(l, sane_get_select_fd);
            f.strstatus = FLICKSTOW_FUNCTION(l, sane_strstatus);
            functions = f;
        } catch (const module::ELibraryError& e) {
            functions = SaneFunctions();
            functions.failure = e.Message;
        }
    });
    return functions;
}

}  // namespace

// Only sane_init and sane_strstatus can come before a successful start;
// the others are called with what a started library handed out.
extern "C" {

SANE_Status sane_init(SANE_Int* version_code, SANE_Auth_Callback authorize) {
    const SaneFunctions& f = Sane();
    return f.init ? f.init(version_code, authorize) : SANE_STATUS_INVAL;
}
void sane_exit(void) {
    if (Sane().exit) Sane().exit();
}
SANE_Status sane_get_devices(const SANE_Device*** device_list, SANE_Bool local_only) {
    return Sane().getDevices(device_list, local_only);
}
SANE_Status sane_open(SANE_String_Const devicename, SANE_Handle* handle) { return Sane().open(devicename, handle); }
void sane_close(SANE_Handle handle) { Sane().close(handle); }
const SANE_Option_Descriptor* sane_get_option_descriptor(SANE_Handle handle, SANE_Int option) {
    return Sane().getOptionDescriptor(handle, option);
}
SANE_Status sane_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action, void* value, SANE_Int* info) {
    return Sane().controlOption(handle, option, action, value, info);
}
SANE_Status sane_get_parameters(SANE_Handle handle, SANE_Parameters* params) {
    return Sane().getParameters(handle, params);
}
SANE_Status sane_start(SANE_Handle handle) { return Sane().start(handle); }
SANE_Status sane_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length, SANE_Int* length) {
    return Sane().read(handle, data, max_length, length);
}
void sane_cancel(SANE_Handle handle) { Sane().cancel(handle); }
SANE_Status sane_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking) {
    return Sane().setIoMode(handle, non_blocking);
}
SANE_Status sane_get_select_fd(SANE_Handle handle, SANE_Int* fd) { return Sane().getSelectFd(handle, fd); }
SANE_String_Const sane_strstatus(SANE_Status status) {
    const SaneFunctions& f = Sane();
    return f.strstatus ? f.strstatus(status) : f.failure.c_str();
}

}  // extern "C"
