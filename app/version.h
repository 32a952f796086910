#pragma once
#define QBX_VERSION_NUMBERS 1, 0, 0, 0
#define QBX_VERSION_TEXT "1.0.0.0"
