#include "publish.h"

namespace swug {

void voice::say_about(const failure& what, const std::string& name, rewrite_reason rewrite) {
    message_context context;
    context.output = subject(name);
    context.rewrite = rewrite;
    say(what, context);
}

failure publish(const std::string& report, std::initializer_list<finished_output> outputs,
                voice& speaker) {
    if (const int error = write_standard_output(report); error != 0) {
        for (const finished_output& out : outputs) {
            if (out.file != nullptr) {
                out.file->drop();
            }
        }
        const failure lost{failure_kind::report_failed, error};
        speaker.say(lost, {});
        return lost;
    }
    for (const finished_output& out : outputs) {
        if (out.file == nullptr) {
            continue;
        }
        const output::commit_result committed = out.file->commit();
        if (committed.failed.kind == failure_kind::cannot_write) {
            speaker.say_about(committed.failed, out.name);
            return committed.failed;
        }
        if (committed.rewritten != rewrite_reason::none) {
            speaker.say_about({failure_kind::rewritten}, out.name, committed.rewritten);
        }
        if (committed.failed) {
            speaker.say_about(committed.failed, out.name);
        }
    }
    return {};
}

}  // namespace swug
