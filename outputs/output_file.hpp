#pragma once

#include <span>
#include <string>
#include <string_view>

namespace soil_climate {

// Writes all of `text` to an open file, retrying where the system wrote only part of it;
// false when it refused the rest (a full disk, a file-size limit).
bool write_all(int descriptor, std::string_view text);

// An output text file of the run. It is written under a temporary name in its own folder
// and renamed into place by `commit` once complete: a file under its real name is always
// whole, the previous complete file stays until then, and a link standing under the name
// is replaced, never followed. Every write, the close and the rename are checked: a
// failure ends the run with the file's own message. A file not committed (the run ended
// early) is removed.
class output_file {
public:
    // How the file is written: gathered in a buffer and written a piece at a time, or
    // whole in one write per call (the buffer would only copy it once more).
    enum class writes { buffered, whole };

    // When a folder standing under the file's name is found: before anything is written
    // (the run's own tables), or when the file is renamed into place (a year's report,
    // which then saves a call to the file system every year).
    enum class folder_check { first, at_rename };

    // Creates the temporary file beside `name`. A folder where no file can be created, or
    // a folder standing under `name`, ends the run with `open_failure_message`. A failed
    // write ends it with "Output file <named> writing failed.", where `named` is, say,
    // "of Summary", or the file's name when it is null; the message is composed only then.
    output_file(std::string name, const std::string& file_prefix, const char* open_failure_message,
                const char* named = nullptr, writes mode = writes::buffered,
                folder_check check = folder_check::first);
    ~output_file();
    output_file(output_file&& other) noexcept;
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    output_file& operator=(output_file&&) = delete;

    void write(std::string_view text);

    // Writes out what is buffered, closes the file and renames it into place.
    void commit();

    // The same in two steps, so that several files can all be complete before the first
    // of them replaces its earlier version.
    void finish();
    void rename_into_place();

    // Ends the run with the file's opening message when a folder stands under its name,
    // so that a group of files can be checked before the first of them is renamed.
    void check_renamable();

    const std::string& name() const { return name_; }

private:
    [[noreturn]] void fail_to_write();
    [[noreturn]] void fail(const std::string& message);
    void discard();

    std::string name_;
    std::string temporary_name_;
    const char* open_failure_message_;
    const char* named_;
    std::string buffer_;
    int descriptor_ = -1;
    int tracked_ = -1;
    writes mode_;
};

// Renames complete files (each finished) into place together: no folder may stand under
// any of their names before the first of them replaces its earlier version, so a failure
// leaves the earlier set whole.
void rename_together(std::span<output_file* const> files);

}  // namespace soil_climate
