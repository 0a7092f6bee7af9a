#pragma once
// Runs one parsed command line: starts its job with the mapped protocol type,
// notifies "Transfer started", and when the job has ended writes the output
// file and notifies "Transfer completed" or "Transfer completed (error)".
// Everything here runs on the main thread.
#include <cstdint>
#include <string>
#include <vector>

#include "access/job_framework.hpp"
#include "competition/pilot_identity.hpp"
#include "core/records.hpp"

#include "control/command_line.hpp"

namespace orlogix {

class JobFramework;
class Notifier;
class Reporter;
struct CurrentData;
struct Settings;

struct CommandEnvironment {
    Reporter& reporter;
    JobFramework& jobs;
    CurrentData& data;
    const Settings& settings;
    Notifier& notifier;
};

class CommandRunner {
public:
    CommandRunner(const CommandLine& command, CommandEnvironment env);

    // Starts the command. Commands without a job (or that failed before
    // one started) are finished when this returns.
    void start();
    // The job's completion message (code 1) with its success.
    void job_finished(bool success);

    bool finished() const { return finished_; }
    // 1 when the job or the output failed, else 0.
    int exit_code() const;
    const std::string& written_path() const { return written_path_; }

private:
    void finish(bool success);
    void fail_now(const char* title, const std::string& text);
    bool output_place_ok() const;
    void start_download();
    void start_waypoint_upload();
    void start_job(AccessType access, Completion completion, JobParams params);
    JobOptions job_options() const;
    bool write_waypoint_output();
    void open_log_file();
    bool write_output();
    bool write_track_output();
    bool choose_parts(std::vector<TrackPosition>& positions);
    bool write_competition_output();
    uint32_t loop_gap() const;

    CommandLine c_;
    CommandEnvironment env_;
    bool finished_ = false;
    bool failed_ = false;
    std::string written_path_;
    PilotIds found_;  // on the instrument of a competition download
};

}  // namespace orlogix
