#include "shell/report_model.h"

namespace mel {

std::string build_property_report(const SongInfo&, const Settings&, long long) { return {}; }

}  // namespace mel
