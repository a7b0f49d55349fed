#include "models/modeltypes.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/chars.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/ctdoc.h"

namespace {

// A parameter name alias of a family of model types.
struct mt_Alias {
    const char* alias;
    const char* target;
};

const mt_Alias mt_bipolarAliases[] = {
    {"VA", "VAF"}, {"IK", "IKF"}, {"C2", "ISE"},  {"VB", "VAR"}, {"C4", "ISC"}, {"PE", "VJE"}, {"ME", "MJE"},
    {"PC", "VJC"}, {"MC", "MJC"}, {"CCS", "CJS"}, {"PS", "VJS"}, {"MS", "MJS"}, {"PT", "XTI"}, {nullptr, nullptr},
};
const mt_Alias mt_tlineAliases[] = {
    {"Z0", "ZO"},
    {nullptr, nullptr},
};
const mt_Alias mt_bsim1Aliases[] = {
    {"WDF", "W"},   {"TEMP", "T_ABS"}, {"WVFB", "VFBW"}, {"LVFB", "VFBL"}, {"WK1", "K1W"},     {"LK1", "K1L"},
    {"WK2", "K2W"}, {"LK2", "K2L"},    {"WPHI", "PHIW"}, {"LPHI", "PHIL"}, {nullptr, nullptr},
};
const mt_Alias mt_bsim2Aliases[] = {
    {"WVFB", "VFBW"}, {"LVFB", "VFBL"}, {"WK1", "K1W"},   {"LK1", "K1L"},     {"WK2", "K2W"},
    {"LK2", "K2L"},   {"WPHI", "PHIW"}, {"LPHI", "PHIL"}, {nullptr, nullptr},
};
const mt_Alias mt_bsim3Aliases[] = {
    {"JSW", "JSSW"},
    {nullptr, nullptr},
};

const mt_Alias* mt_AliasesOf(int type) {
    switch (type) {
    case kModelNpn:
    case kModelPnp:
    case kModelLpnp: return mt_bipolarAliases;
    case kModelTline: return mt_tlineAliases;
    case kModelBsim1N:
    case kModelBsim1P: return mt_bsim1Aliases;
    case kModelBsim2N:
    case kModelBsim2P: return mt_bsim2Aliases;
    case kModelBsim3N:
    case kModelBsim3P: return mt_bsim3Aliases;
    default: return nullptr;
    }
}

// Names this long or longer are never parameter names.
constexpr size_t kMtMaxNameLength = 30;

int mt_FindExact(const ModelTypeInfo& row, const char* upperName) {
    for (int i = 0; i < row.ParamCount; ++i) {
        if (std::strcmp(row.Params[i].Name, upperName) == 0) return i;
    }
    return -1;
}

bool mt_initialised = false;

// Stores a default text into the named parameter of a row.
void mt_SetDefaultText(int type, const char* name, const char* text) {
    int index = FindModelParamIndex(type, name);
    if (index >= 0 && ModelTypeTable[type].Params[index].Kind == kParamText) {
        ModelTypeTable[type].Params[index].Default.text = text;
    }
}

// True the first time a parameter list is met; lists shared by several rows are
// fixed up once.
bool mt_FirstVisit(const ModelParamInfo* list, const ModelParamInfo** seen, int* seenCount) {
    for (int i = 0; i < *seenCount; ++i) {
        if (seen[i] == list) return false;
    }
    seen[(*seenCount)++] = list;
    return true;
}

// Fills the SortIndex fields of a list: listing, for ascending i, the parameter
// whose index is Params[i].SortIndex gives the names in case-insensitive order.
void mt_SortModelParamNames(ModelParamInfo* params, int count) {
    constexpr int kMaxSorted = 1000;
    static int order[kMaxSorted];
    int n = std::min(count, kMaxSorted);
    for (int i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order, order + n,
                     [params](int a, int b) { return strcasecmp(params[a].Name, params[b].Name) < 0; });
    for (int i = 0; i < n; ++i) params[i].SortIndex = order[i];
}

}  // namespace

// ---- rows ------------------------------------------------------------------------------

const ModelTypeInfo* GetModelTypeInfo(int type) { return IsModelTypeRow(type) ? &ModelTypeTable[type] : nullptr; }

int ModelParamCount(int type) { return IsModelTypeRow(type) ? ModelTypeTable[type].ParamCount : 0; }

const ModelParamInfo* GetModelParamInfo(int type, int index) {
    if (!IsModelTypeRow(type) || index < 0 || index >= ModelTypeTable[type].ParamCount) return nullptr;
    return &ModelTypeTable[type].Params[index];
}

// ---- value slots -------------------------------------------------------------------------

char ModelSlotChar(const double* slot) {
    char c;
    std::memcpy(&c, slot, 1);
    return c;
}

void SetModelSlotChar(double* slot, char c) {
    unsigned char bytes[sizeof(double)] = {};
    bytes[0] = static_cast<unsigned char>(c);
    std::memcpy(slot, bytes, sizeof bytes);
}

const char* ModelSlotText(const double* slot) {
    const char* text;
    static_assert(sizeof text <= sizeof *slot);
    std::memcpy(&text, slot, sizeof text);
    return text;
}

void SetModelSlotText(double* slot, const char* text) {
    unsigned char bytes[sizeof(double)] = {};
    std::memcpy(bytes, &text, sizeof text);
    std::memcpy(slot, bytes, sizeof bytes);
}

// ---- look-ups ------------------------------------------------------------------------------

int FindModelTypeByName(const char* keyword) {
    if (!keyword) return kModelNone;
    for (int type = 0; type < kModelTypeCount; ++type) {
        if (std::strcmp(ModelTypeTable[type].Keyword, keyword) == 0) return type;
    }
    if (std::strcmp(keyword, "R") == 0) return kModelRes;
    if (std::strcmp(keyword, "SW") == 0) return kModelVSwitch;
    if (std::strcmp(keyword, "PWL") == 0) return kModelPwl;
    return kModelNone;
}

int FindModelTypeInText(const char* text) {
    if (!text) return kModelNone;
    char word[50];
    CopyTextBounded(word, text, sizeof word);
    char* blank = std::strchr(word, ' ');
    if (!blank) return kModelNone;
    *blank = 0;
    return FindModelTypeByName(word);
}

int FindModelParamIndex(int type, const char* name) {
    if (!IsModelTypeRow(type) || !name) return -1;
    size_t length = std::strlen(name);
    if (length >= kMtMaxNameLength) return -1;
    const ModelTypeInfo& row = ModelTypeTable[type];
    char copy[kMtMaxNameLength];
    CopyUpper(copy, name, sizeof copy);

    int index = mt_FindExact(row, copy);
    if (index >= 0) return index;

    // Zero and the letter O are easily mistaken: VTHO finds VTH0, Z0 finds ZO.
    for (char* p = copy; *p; ++p) {
        if (*p == '0' || *p == 'O') {
            *p = *p == '0' ? 'O' : '0';
            index = mt_FindExact(row, copy);
            if (index >= 0) return index;
            break;
        }
    }

    if (const mt_Alias* aliases = mt_AliasesOf(type)) {
        for (const mt_Alias* a = aliases; a->alias; ++a) {
            if (std::strcmp(a->alias, copy) == 0) return mt_FindExact(row, a->target);
        }
    }
    return -1;
}

int BaseMosType(int type) {
    switch (type) {
    case kModelBsim1N:
    case kModelBsim2N:
    case kModelBsim3N:
    case kModelBsim4N:
    case kModelEkvN: return kModelNmos;
    case kModelBsim1P:
    case kModelBsim2P:
    case kModelBsim3P:
    case kModelBsim4P:
    case kModelEkvP: return kModelPmos;
    default: return type;
    }
}

int MosLevelToType(int type, int level) {
    if (type != kModelNmos && type != kModelPmos) return type;
    bool n = type == kModelNmos;
    switch (level) {
    case 1:
    case 2:
    case 3: return type;
    case 4: return n ? kModelBsim1N : kModelBsim1P;
    case 5: return n ? kModelBsim2N : kModelBsim2P;
    case 8:
    case 49: return n ? kModelBsim3N : kModelBsim3P;
    case 14: return n ? kModelBsim4N : kModelBsim4P;
    case 44: return n ? kModelEkvN : kModelEkvP;
    default: return kModelNone;
    }
}

int LevelTypeFromText(const char* paramText, int type) {
    if (!paramText) return type;
    // Only the word LEVEL counts: EKV's NLEVEL must not select a model type.
    const char* p = paramText;
    const char* found = nullptr;
    while ((p = FindTextNoCase(p, "LEVEL")) != nullptr) {
        bool startsWord = p == paramText || !(std::isalnum(static_cast<unsigned char>(p[-1])) || p[-1] == '_');
        char after = p[5];
        bool endsWord = after == 0 || after == ' ' || after == '\t' || after == '=';
        if (startsWord && endsWord) {
            found = p + 5;
            break;
        }
        p += 5;
    }
    if (!found) return type;
    while (*found == ' ' || *found == '\t' || *found == '=') ++found;
    char* end = nullptr;
    long level = std::strtol(found, &end, 10);
    if (end == found || level < 0 || level > 1000) return type;
    int mapped = MosLevelToType(type, static_cast<int>(level));
    return mapped == kModelNone ? type : mapped;
}

bool BinningParamIndices(int type, int indices[4]) {
    switch (type) {
    case kModelBsim3N:
    case kModelBsim3P: indices[0] = 43, indices[1] = 44, indices[2] = 45, indices[3] = 46; return true;
    case kModelBsim4N:
    case kModelBsim4P: indices[0] = 599, indices[1] = 600, indices[2] = 610, indices[3] = 611; return true;
    default: indices[0] = indices[1] = indices[2] = indices[3] = -1; return false;
    }
}

// ---- checks and texts ------------------------------------------------------------------------

int CheckModelParamValue(CCTDoc* document, int location, int paramIndex, int type, const double* value,
                         const char* statementText, bool levelRange) {
    const ModelParamInfo* param = GetModelParamInfo(type, paramIndex);
    if (!param || !value) return kResultShown;
    double v = *value;
    if (param->Kind == kParamNumber && IsUnsetValue(v)) return kOk;

    if (paramIndex == 0) {
        if (type == kModelDiode) {
            if (!(v == 1 || v == 2)) return ReportModelMessage(document, location, statementText, 14080);
        } else if (type == kModelNmos || type == kModelPmos || (type >= kModelBsim1N && type <= kModelBsim3P) ||
                   (type >= kModelBsim4N && type <= kModelEkvP)) {
            if ((type == kModelNmos || type == kModelPmos) && levelRange && !(v >= 1 && v <= 3)) {
                return ReportModelMessage(document, location, statementText, 14077);
            }
            double level = std::trunc(v);
            bool known = level == 1 || level == 2 || level == 3 || level == 4 || level == 5 || level == 8 ||
                         level == 14 || level == 44;
            if (!known) return ReportModelMessage(document, location, statementText, 14076);
        }
    }

    // Written so that a NaN fails every class.
    int message = 0;
    switch (param->CheckClass) {
    case '+': message = v > 0 ? 0 : 14070; break;
    case 'G': message = v >= 0 ? 0 : 14071; break;
    case '1': message = v >= 0 && v <= 1 ? 0 : 14072; break;
    case '3': message = v >= 0 && v <= 3 ? 0 : 14073; break;
    case 'L': message = v >= 1 && v <= 3 ? 0 : 14074; break;
    case 'D': {
        char c = ModelSlotChar(value);
        if (c == 0 || std::strchr("01RFXZ", c)) return kOk;
        char text[2] = {c, 0};
        return ReportModelMessage(document, location, statementText, 14075, param->Name, text);
    }
    default: return kOk;
    }
    if (message == 0) return kOk;
    return ReportModelMessage(document, location, statementText, message, param->Name, v);
}

char* ModelParamName(char* buffer, size_t size, int type, int paramIndex) {
    const ModelParamInfo* param = GetModelParamInfo(type, paramIndex);
    return CopyTextBounded(buffer, param ? param->Name : "", size);
}

int ModelParamHelpId(int type, int paramIndex) {
    return IsModelTypeRow(type) ? ModelTypeTable[type].HelpBase + paramIndex : 0;
}

char* FormatParamValue(char* buffer, size_t size, const double* value) {
    if (!buffer || size == 0) return buffer;
    if (!value) {
        buffer[0] = 0;
        return buffer;
    }
    double v = *value;
    if (IsUnsetValue(v)) return CopyTextBounded(buffer, kUnsetValueText, size);
    // Fifteen significant digits: enough for every double that came from text,
    // short of the noise of the last binary digits.
    double magnitude = std::fabs(v);
    double multiplier = 1.0;
    ChooseEngineeringScale(&multiplier, 0, v, 15);
    // Below the femto scale (and beyond the largest scale) the exponent form
    // keeps every digit.
    if (std::isfinite(magnitude) && magnitude != 0 && (magnitude < 1e-15 || (multiplier == 1.0 && magnitude >= 1e15))) {
        char mantissa[40];
        std::snprintf(mantissa, sizeof mantissa, "%.14E", v);
        char* e = std::strchr(mantissa, 'E');
        char exponent[12] = "";
        if (e) {
            CopyTextBounded(exponent, e, sizeof exponent);
            *e = 0;
            size_t n = std::strlen(mantissa);
            while (n > 0 && mantissa[n - 1] == '0') mantissa[--n] = 0;
            if (n > 0 && mantissa[n - 1] == '.') mantissa[--n] = 0;
        }
        FormatBounded(buffer, size, "%s%s", mantissa, exponent);
        StripExponentPadding(buffer);
        return buffer;
    }
    int decimals = 14;
    double scaled = magnitude * multiplier;
    if (std::isfinite(scaled) && scaled >= 1) decimals = 14 - static_cast<int>(std::floor(std::log10(scaled)));
    decimals = std::clamp(decimals, 0, 15);
    FormatNumber(buffer, size, v, decimals, 0, 0);
    TrimTrailingSpaces(buffer);
    return buffer;
}

// ---- start-up --------------------------------------------------------------------------------

void InitModelParamTables() {
    if (mt_initialised) return;
    mt_initialised = true;

    for (int level = 1; level <= 4; ++level) {
        char name[8];
        FormatBounded(name, sizeof name, "ATOD%d", level);
        mt_SetDefaultText(kModelUIo, name, "AtoDDefault");
        FormatBounded(name, sizeof name, "DTOA%d", level);
        mt_SetDefaultText(kModelUIo, name, "DtoADefault");
    }
    mt_SetDefaultText(kModelUIo, "DIGPOWER", "DIGIFPWR");
    mt_SetDefaultText(kModelBsim4N, "VERSION", "4.2.1");

    const ModelParamInfo* seen[kModelTypeCount];
    int seenCount = 0;
    for (int type = 0; type < kModelTypeCount; ++type) {
        ModelTypeInfo& row = ModelTypeTable[type];
        if (!row.Params || row.ParamCount <= 0 || !mt_FirstVisit(row.Params, seen, &seenCount)) continue;
        int width = 0;
        for (int i = 0; i < row.ParamCount; ++i) {
            ModelParamInfo& param = row.Params[i];
            if (param.Kind == kParamChar) {
                int code = static_cast<int>(param.Default.number);
                std::memset(param.Default.character, 0, sizeof param.Default.character);
                param.Default.character[0] = static_cast<char>(code & 0xFF);
            }
            width = std::max(width, static_cast<int>(std::strlen(param.Name)));
        }
        mt_SortModelParamNames(row.Params, row.ParamCount);
        if (row.NameWidth == 0) row.NameWidth = width;
    }
    // Rows that share a list share its name width.
    for (int type = 0; type < kModelTypeCount; ++type) {
        ModelTypeInfo& row = ModelTypeTable[type];
        if (!row.Params || row.ParamCount <= 0 || row.NameWidth != 0) continue;
        for (int other = 0; other < kModelTypeCount; ++other) {
            if (ModelTypeTable[other].Params == row.Params && ModelTypeTable[other].NameWidth != 0) {
                row.NameWidth = ModelTypeTable[other].NameWidth;
                break;
            }
        }
    }
}

// ---- reporting ---------------------------------------------------------------------------------

int ReportModelMessage(CCTDoc* document, int location, const char* statementText, int messageId, ...) {
    if (!document) return kResultShown;
    va_list args;
    va_start(args, messageId);
    SetPendingMessageV(messageId, args);
    va_end(args);
    MessageRequest request = Message(kResultPending).Document(document).Source(location).Statement(statementText);
    Reporter().Report(request);
    ClearPendingMessage();
    return kResultShown;
}
