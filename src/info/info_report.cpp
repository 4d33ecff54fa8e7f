#include "info/info_report.h"

#include <cstdio>

#include "messages.h"
#include "paths.h"

namespace swug {

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const std::size_t length = utf8_sequence_length(text, at);
            if (length == 0) {
                out += "\\ufffd";
                ++at;
            } else {
                out.append(text.substr(at, length));
                at += length;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++at;
    }
    return out + "\"";
}

std::string render_plain(const image_report& report, std::string_view image_path) {
    std::string out = "| image " + printable(image_path) + " |\n";
    out += "| size=" + format_hex(report.size) + " |\n";
    if (report.has_header) {
        out += "| magic=" + printable_magic(report.raw) + " |\n";
        for (const auto& [name, value] : named_fields(report.header)) {
            out += "| " + std::string(name) + "=" + format_hex(value) + " |\n";
        }
    }
    std::size_t failed = 0;
    for (const check_result& c : report.checks) {
        if (c.ok) {
            out += "| check " + c.name + ": ok |\n";
        } else {
            ++failed;
            out += "| check " + c.name + ": FAILED, expected " + c.expected + ", found " + c.found +
                   " |\n";
        }
    }
    if (failed == 0) {
        out += "| image is valid |\n";
    } else {
        out += "| image is NOT valid: " + std::to_string(failed) +
               (failed == 1 ? " check failed |\n" : " checks failed |\n");
    }
    return out;
}

std::string render_json(const image_report& report, std::string_view image_path,
                        const std::string* error) {
    std::string out = "{\"schema\":" + std::to_string(json_schema) + ",\"valid\":";
    out += report.valid() ? "true" : "false";
    out += ",\"image\":" + json_string(image_path);
    out += ",\"size\":" + std::to_string(report.size);
    out += ",\"magic\":" + (report.has_header ? json_string(printable_magic(report.raw)) : "null");
    for (const auto& [name, value] : named_fields(report.header)) {
        out += ",\"" + std::string(name) +
               "\":" + (report.has_header ? std::to_string(value) : std::string("null"));
    }
    out += ",\"checks\":[";
    for (std::size_t i = 0; i < report.checks.size(); ++i) {
        const check_result& c = report.checks[i];
        out += (i == 0 ? "{" : ",{");
        out += "\"name\":" + json_string(c.name) + ",\"ok\":" + (c.ok ? "true" : "false");
        if (!c.ok) {
            out +=
                ",\"expected\":" + json_string(c.expected) + ",\"found\":" + json_string(c.found);
        }
        out += "}";
    }
    out += "],\"problems\":[";
    const std::vector<std::string> problems = report.problems();
    for (std::size_t i = 0; i < problems.size(); ++i) {
        out += (i == 0 ? "" : ",") + json_string(problems[i]);
    }
    out += "],\"error\":" + (error != nullptr ? json_string(*error) : "null");
    // Added after the first release's members, which keep their order.
    out += ",\"software_format\":" +
           (report.has_header ? json_string(software_format_key(report.software)) : "null");
    return out + "}\n";
}

std::string render_json_error(const char* image_path, std::string_view message) {
    std::string out = "{\"schema\":" + std::to_string(json_schema) + ",\"valid\":false";
    out += ",\"image\":" + (image_path != nullptr ? json_string(image_path) : "null");
    out += ",\"size\":null,\"magic\":null";
    for (const auto& [name, value] : named_fields(swug_header())) {
        out += ",\"" + std::string(name) + "\":null";
    }
    return out + ",\"checks\":null,\"problems\":null,\"error\":" + json_string(message) +
           ",\"software_format\":null}\n";
}

}  // namespace swug
