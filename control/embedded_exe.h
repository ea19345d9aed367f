// Writes the VeloraService executable carried as resource ("EXECUTE", 104) into the system
// directory. On failure an error box has been shown and the program should end.
#pragma once

bool WriteEmbeddedServiceExe();
