#pragma once

#include <QIcon>

// The program's own icon, built into the executable.
QIcon ApplicationIcon();
