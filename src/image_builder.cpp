#include "image_builder.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "file_io.h"
#include "platform.h"

namespace swug {

std::uint8_t in_cmd_mode = 0;
char work_dir[path_capacity] = {};
int work_dir_error = 0;

namespace {

int current_reason() {
    return errno != 0 ? errno : EIO;
}

// Turns one command-line argument into a path; prints the reason and returns false on failure.
bool choose_path(const char* argument, char (&path)[path_capacity]) {
    switch (expand_argument(argument, work_dir, path)) {
        case path_status::ok:
            return true;
        case path_status::too_long:
            if (starts_with_dot_slash(argument)) {
                std::printf("path too long, must be at most %zu characters: %s/%s\n",
                            path_capacity - 1, work_dir, argument + 2);
            } else {
                std::printf("path too long, must be at most %zu characters: %s\n",
                            path_capacity - 1, argument);
            }
            return false;
        case path_status::no_work_dir:
            if (work_dir_error == ERANGE) {
                std::printf(
                    "can't expand %s: the working directory is longer than %zu characters\n",
                    argument, path_capacity - 1);
            } else {
                std::printf("can't expand %s: can't get the working directory: %s\n", argument,
                            reason_text(work_dir_error));
            }
            return false;
    }
    return false;
}

// "mcu_ota.bin" when it can be opened as a file; a folder counts as absent on every system.
file_ptr open_mcu_ota_file() {
    file_ptr p_mcu_file = open_for_reading(mcu_ota_name);
    if (p_mcu_file && platform::kind_of(p_mcu_file.get()) == platform::file_kind::directory) {
        p_mcu_file.reset();
    }
    return p_mcu_file;
}

std::int32_t report_software_too_big(const char* openname, std::uint64_t length_limit) {
    std::printf("the software file %s is too big, must be at most %" PRIu64 " bytes\n", openname,
                length_limit);
    return build_too_big;
}

std::int32_t report_pack_failure(const pack_outcome& outcome, const char* openname,
                                 const char* fname, std::uint64_t length_limit) {
    switch (outcome.failure) {
        case pack_failure::software_read:
            std::printf("can't read the software file %s: %s\n", openname,
                        reason_text(outcome.reason));
            return build_read_failed;
        case pack_failure::software_too_big:
            return report_software_too_big(openname, length_limit);
        case pack_failure::mcu_read:
            std::printf("can't read the MCU ota file %s: %s\n", mcu_ota_name,
                        reason_text(outcome.reason));
            return build_read_failed;
        case pack_failure::mcu_too_big:
            std::printf("the MCU ota file %s grew beyond %" PRIu32 " bytes while it was read\n",
                        mcu_ota_name, mcu_ota_max_size);
            return build_too_big;
        case pack_failure::image_write:
        case pack_failure::none:
            break;
    }
    std::printf("can't write the upgrade image %s: %s\n", fname, reason_text(outcome.reason));
    return build_write_failed;
}

}  // namespace

pack_outcome pack_upgrade_image(std::FILE* p_sw_file, std::FILE* p_mcu_file,
                                std::FILE* p_img_file) {
    pack_outcome outcome;
    auto fail = [&outcome](pack_failure failure) {
        outcome.failure = failure;
        outcome.reason = current_reason();
        return outcome;
    };
    chunk_buffer buf;

    errno = 0;
    if (std::fseek(p_img_file, static_cast<long>(header_size), SEEK_SET) != 0) {
        return fail(pack_failure::image_write);
    }
    // With an MCU OTA image, its offset length + 128 must fit 32 bits as well.
    const std::uint64_t length_limit = p_mcu_file != nullptr ? field_max - header_size : field_max;
    copy_totals software;
    switch (copy_summing(p_sw_file, p_img_file, length_limit + 1, buf, software)) {
        case copy_status::read_failed:
            return fail(pack_failure::software_read);
        case copy_status::write_failed:
            return fail(pack_failure::image_write);
        case copy_status::ok:
            break;
    }
    if (software.count > length_limit) {
        return fail(pack_failure::software_too_big);
    }
    outcome.header.length = static_cast<std::uint32_t>(software.count);
    outcome.header.sum = software.sum;

    if (p_mcu_file != nullptr) {
        copy_totals mcu;
        switch (copy_summing(p_mcu_file, p_img_file, mcu_ota_max_size + 1u, buf, mcu)) {
            case copy_status::read_failed:
                return fail(pack_failure::mcu_read);
            case copy_status::write_failed:
                return fail(pack_failure::image_write);
            case copy_status::ok:
                break;
        }
        if (mcu.count > mcu_ota_max_size) {
            return fail(pack_failure::mcu_too_big);
        }
        outcome.header.mcu_ota_flag = 1;
        outcome.header.mcu_addr = outcome.header.length + static_cast<std::uint32_t>(header_size);
        outcome.header.mcu_len = static_cast<std::uint32_t>(mcu.count);
        outcome.header.mcu_sum = mcu.sum;
    }

    // The header goes in last, over the space kept for it, once both sums are known.
    const header_bytes hdr = encode_header(outcome.header);
    errno = 0;
    if (std::fseek(p_img_file, 0, SEEK_SET) != 0 ||
        std::fwrite(hdr.data(), 1, hdr.size(), p_img_file) != hdr.size() ||
        std::fflush(p_img_file) != 0) {
        return fail(pack_failure::image_write);
    }
    outcome.reason = 0;
    return outcome;
}

std::int32_t generate_swug_bin(const func_args* args) {
    char openname[path_capacity] = {};
    char fname[path_capacity] = {};
    if (args->argc == 1) {
        std::memcpy(openname, default_software_image, sizeof default_software_image);
        std::memcpy(fname, default_upgrade_image, sizeof default_upgrade_image);
    } else if (args->argc == 3) {
        if (!choose_path(args->argv[1], openname) || !choose_path(args->argv[2], fname)) {
            return build_bad_path;
        }
    } else {
        std::printf("Parameter Error [%d]\n", static_cast<int>(args->argc));
        return build_wrong_argc;
    }

    // A folder opens for reading on some systems and not on others; refuse it on all of them.
    if (platform::is_directory(openname)) {
        std::printf("can't read the software file %s: %s\n", openname, reason_text(EISDIR));
        return build_no_software_file;
    }
    file_ptr p_sw_file = open_for_reading(openname);
    if (!p_sw_file) {
        std::printf("can't find the software file %s \n", openname);
        return build_no_software_file;
    }

    file_ptr p_mcu_file = open_mcu_ota_file();
    const std::int64_t mcu_size = p_mcu_file ? platform::size_of(p_mcu_file.get()) : -1;
    // A size that can't be told counts as too big.
    const bool mcu_accepted = p_mcu_file && mcu_size >= 0 && mcu_size <= mcu_ota_max_size;
    const std::uint64_t length_limit = mcu_accepted ? field_max - header_size : field_max;

    // Refuse sizes the header can't hold before anything is written, where the size is known.
    const std::int64_t software_size = platform::size_of(p_sw_file.get());
    if (software_size >= 0 && static_cast<std::uint64_t>(software_size) > length_limit) {
        return report_software_too_big(openname, length_limit);
    }

    // Opening the output for writing empties it, so it must not be one of the inputs.
    if (platform::is_same_file(p_sw_file.get(), fname)) {
        std::printf("the upgrade image %s is the software file %s, refusing to overwrite it\n",
                    fname, openname);
        return build_same_file;
    }
    if (p_mcu_file && platform::is_same_file(p_mcu_file.get(), fname)) {
        std::printf("the upgrade image %s is the MCU ota file %s, refusing to overwrite it\n",
                    fname, mcu_ota_name);
        return build_same_file;
    }

    output_file p_img_file;
    if (const int reason = p_img_file.create(fname); reason != 0) {
        std::printf("can't create the upgrade image %s: %s\n", fname, reason_text(reason));
        return build_cannot_create;
    }

    const pack_outcome outcome = pack_upgrade_image(
        p_sw_file.get(), mcu_accepted ? p_mcu_file.get() : nullptr, p_img_file.stream());
    if (outcome.failure != pack_failure::none) {
        p_img_file.discard();
        return report_pack_failure(outcome, openname, fname, length_limit);
    }
    if (const int reason = p_img_file.finish(); reason != 0) {
        std::printf("can't write the upgrade image %s: %s\n", fname, reason_text(reason));
        return build_write_failed;
    }

    if (p_mcu_file && !mcu_accepted) {
        // The refused file leaves the MCU fields zero, so the summary doesn't mention it either.
        std::printf("| MCU ota file is too big, must <96KB |\n");
    }
    const swug_header& hdr = outcome.header;
    if (mcu_accepted) {
        std::printf("| gen image file checksum=%08" PRIx32 ",size=%08" PRIx32
                    " , MCU ota checksum=%08" PRIx32 ",size=%08" PRIx32 " |\n",
                    hdr.sum, hdr.length, hdr.mcu_sum, hdr.mcu_len);
    } else {
        std::printf("| gen image file checksum=%08" PRIx32 ",size=%08" PRIx32 " |\n", hdr.sum,
                    hdr.length);
    }
    return build_done;
}

}  // namespace swug
