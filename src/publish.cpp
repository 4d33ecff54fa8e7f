#include "publish.h"

namespace swug {

void voice::say_about(const failure& what, const std::string& name, rewrite_reason rewrite) {
    message_context context;
    context.output = subject(name);
    context.rewrite = rewrite;
    say(what, context);
}

namespace {

// Refuses out when its name has come to lead to a file that an earlier output of the run just put
// in place (two spellings of one name where the folder ignores case): committing it would replace
// that output's content, and the run would end as if both were written.
failure takes_earlier_place(std::initializer_list<finished_output> outputs,
                            const finished_output& out, voice& speaker) {
    for (const finished_output* earlier = outputs.begin(); earlier != &out; ++earlier) {
        if (earlier->file != nullptr && out.file->takes_place_of(*earlier->file)) {
            out.file->drop();
            message_context context;
            context.output = speaker.subject(earlier->name);
            context.other = speaker.subject(out.name);
            const failure both{failure_kind::same_outputs};
            speaker.say(both, context);
            return both;
        }
    }
    return {};
}

}  // namespace

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
        if (const failure taken = takes_earlier_place(outputs, out, speaker)) {
            return taken;
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
