#pragma once
#define IDI_KEYENTRY 101
