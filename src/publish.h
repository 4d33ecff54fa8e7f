// The end that both tools' successful runs share: the report reaches its reader first, and only
// then do the new outputs take their files' places, each said when it was written over in place
// or its folder could not be synced.
#pragma once

#include <initializer_list>
#include <string>

#include "messages.h"
#include "output/output.h"

namespace swug {

// How a tool says its sentences and names its outputs in them.
class voice {
public:
    virtual ~voice() = default;
    // Says the failure's sentence where the tool says it.
    virtual void say(const failure& what, const message_context& context) = 0;
    // The tool's subject for an output: "the upgrade image NAME", or the name alone.
    virtual std::string subject(const std::string& name) const = 0;
    // Says a sentence about one output.
    void say_about(const failure& what, const std::string& name,
                   rewrite_reason rewrite = rewrite_reason::none);
};

// An output to put in place, and the name it is known by; one with no file is not asked for.
struct finished_output {
    output* file;
    const char* name;
};

// Writes report to standard output, then commits the outputs in order (should the second fail,
// the first already holds its new content). When the report can't be written, every output is
// dropped and its old file stays. Returns what stopped the run, which has been said.
failure publish(const std::string& report, std::initializer_list<finished_output> outputs,
                voice& speaker);

}  // namespace swug
