#pragma once

// Menu II, the second boxed menu: nine more fixed jobs, the generalized backup screen and the
// way back to the main menu. A procedure of its own, with its own error screen and key.
void menu2();
