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
                out.file->discard();
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
        const output_file::commit_result committed = out.file->commit();
        if (!committed.in_place) {
            const failure stopped{failure_kind::cannot_write, committed.error};
            speaker.say_about(stopped, out.name);
            return stopped;
        }
        if (committed.rewritten != rewrite_reason::none) {
            speaker.say_about({failure_kind::rewritten}, out.name, committed.rewritten);
        }
        if (committed.error != 0) {
            speaker.say_about({failure_kind::not_synced, committed.error}, out.name);
        }
    }
    return {};
}

}  // namespace swug
