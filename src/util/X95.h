#pragma once
// X95: the general helpers, all in one include.

#include "util/colors.h"
#include "util/date_time_text.h"
#include "util/pair_lists.h"
#include "util/size_text.h"
#include "util/text_codecs.h"
#include "util/version_text.h"
#include "util/window_identity.h"
#include "util/xstringlist.h"
