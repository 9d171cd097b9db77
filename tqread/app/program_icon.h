// The program's icon, drawn at run time so that the program needs no resource
// files: a fuel drop on a blue tile, legible at 16 and 32 pixels.
#pragma once

#include <QIcon>

namespace trk::tqread::app {

QIcon ProgramIcon();

}  // namespace trk::tqread::app
