// The step, reached only through a static library of its own.
#pragma once

void stepFromArchive();
