// A Windows helper of the Wine tests, cross-compiled beside them: does to files what another
// process on Windows would (holds one open, which none of Wine's own programs can, or sets its
// attributes), runs a command meanwhile, and shows files' attributes afterwards.
//
//   file_holder STEP... [RUNNER] PROGRAM ARGUMENT...
//
// Steps, in the order given, before PROGRAM starts:
//   hold:SHARE:PATH    open PATH for reading and writing, sharing it as SHARE says: "-" with
//                      nobody, else any of r, w, d (others may read, write, delete or rename it)
//   attrib:FLAGS:PATH  set PATH's attributes to FLAGS, any of r, h, s, a ("-" for none)
// and after PROGRAM has ended:
//   show:PATH          print "PATH: FLAGS" on standard output, FLAGS as above
// RUNNER, a first word that is no .exe (wine itself, as the tests put it before every program),
// is left out. Ends with PROGRAM's exit status, or 125 when a step fails.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct flag_letter {
    wchar_t letter;
    DWORD attribute;
};
constexpr flag_letter flag_letters[] = {{L'r', FILE_ATTRIBUTE_READONLY},
                                        {L'h', FILE_ATTRIBUTE_HIDDEN},
                                        {L's', FILE_ATTRIBUTE_SYSTEM},
                                        {L'a', FILE_ATTRIBUTE_ARCHIVE}};

int fail(const wchar_t* what, const std::wstring& path) {
    std::fwprintf(stderr, L"file_holder: can't %ls %ls: error %lu\n", what, path.c_str(),
                  GetLastError());
    return 125;
}

// A word of a command line as the C runtime splits it again.
std::wstring quoted(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) {
        return word;
    }
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, L'\\');
    return text + L"\"";
}

bool ends_with_exe(const std::wstring& word) {
    return word.size() > 4 && _wcsicmp(word.c_str() + word.size() - 4, L".exe") == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<HANDLE> held;
    std::vector<std::wstring> shown;
    int at = 1;
    for (; at < argc; ++at) {
        const std::wstring step = argv[at];
        const std::size_t colon = step.find(L':');
        if (colon == std::wstring::npos || colon < 4) {
            break;  // the command
        }
        const std::wstring kind = step.substr(0, colon);
        const std::wstring rest = step.substr(colon + 1);
        if (kind == L"show") {
            shown.push_back(rest);
            continue;
        }
        const std::size_t second = rest.find(L':');
        if (second == std::wstring::npos) {
            break;
        }
        const std::wstring flags = rest.substr(0, second);
        const std::wstring path = rest.substr(second + 1);
        if (kind == L"hold") {
            DWORD share = 0;
            share |= flags.find(L'r') != std::wstring::npos ? FILE_SHARE_READ : 0;
            share |= flags.find(L'w') != std::wstring::npos ? FILE_SHARE_WRITE : 0;
            share |= flags.find(L'd') != std::wstring::npos ? FILE_SHARE_DELETE : 0;
            HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                return fail(L"hold", path);
            }
            held.push_back(file);
        } else if (kind == L"attrib") {
            DWORD attributes = 0;
            for (const flag_letter& f : flag_letters) {
                attributes |= flags.find(f.letter) != std::wstring::npos ? f.attribute : 0;
            }
            if (SetFileAttributesW(path.c_str(),
                                   attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes) == 0) {
                return fail(L"set the attributes of", path);
            }
        } else {
            break;
        }
    }
    if (at < argc && !ends_with_exe(argv[at])) {
        ++at;  // the runner
    }
    if (at >= argc) {
        std::fputws(L"file_holder: no command to run\n", stderr);
        return 125;
    }
    std::wstring command;
    for (int word = at; word < argc; ++word) {
        command += (word > at ? L" " : L"") + quoted(argv[word]);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process) == 0) {
        return fail(L"run", command);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 125;
    GetExitCodeProcess(process.hProcess, &status);
    for (HANDLE file : held) {
        CloseHandle(file);
    }
    for (const std::wstring& path : shown) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return fail(L"read the attributes of", path);
        }
        std::wstring flags;
        for (const flag_letter& f : flag_letters) {
            if ((attributes & f.attribute) != 0) {
                flags += f.letter;
            }
        }
        std::wprintf(L"%ls: %ls\n", path.c_str(), flags.empty() ? L"-" : flags.c_str());
    }
    return static_cast<int>(status);
}
