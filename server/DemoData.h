// The demo database: fictional groups, students, teachers, curriculum, marks and sign-in users (DEMO.md).
#pragma once

#include <QString>

namespace olm::server {

class Administration;

bool fillDemoData(Administration &admin, QString *error);

} // namespace olm::server
