// The dialogs' Enter and Escape live with the frames, which the message box shares.
#pragma once

#include "ui/DialogKeys.h"
