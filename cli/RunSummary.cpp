#include "cli/RunSummary.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

std::string summary_json(const RunSummary& s) {
    nlohmann::ordered_json out = {{"dry_run", s.dry_run},     {"devices", s.devices},         {"done", s.done},
                                  {"failed", s.failed},       {"unsupported", s.unsupported}, {"not_found", s.not_found},
                                  {"up_to_date", s.up_to_date}, {"changed", s.changed},       {"planned", s.planned},
                                  {"exit_code", s.exit_code}, {"started", s.started},         {"ended", s.ended}};
    return out.dump(2) + "\n";
}

