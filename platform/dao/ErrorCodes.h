#pragma once
// The numbers of the errors the database layer raises. The window shows the
// number next to the description, and code that handles one case (say, a
// wrong password) tests the number, never the text.

namespace dao::err {

inline constexpr int kOutOfMemory = 7;            // the language runtime's number, kept for the same failure
inline constexpr int kUserInterrupt = 18;         // the language runtime's number: the user stopped the work

inline constexpr int kDatabaseError = 3000;       // any engine failure without a closer match
inline constexpr int kInvalidArgument = 3001;
inline constexpr int kUpdateWithoutEdit = 3020;
inline constexpr int kNoCurrentRecord = 3021;
inline constexpr int kDuplicateValue = 3022;
inline constexpr int kFileNotFound = 3024;
inline constexpr int kDiskFull = 3026;
inline constexpr int kReadOnly = 3027;
inline constexpr int kInvalidPassword = 3031;
inline constexpr int kDiskOrNetworkError = 3043;
inline constexpr int kInvalidPath = 3044;
inline constexpr int kFileInUse = 3045;
inline constexpr int kCorrupt = 3049;
inline constexpr int kCannotOpenFile = 3051;
inline constexpr int kTableNotFound = 3078;
inline constexpr int kRecordDeleted = 3167;
inline constexpr int kRelatedRecordRequired = 3201;
inline constexpr int kLocked = 3218;              // reading or opening blocked by another process
inline constexpr int kInvalidOperation = 3219;
inline constexpr int kUpdateLocked = 3260;        // writing blocked by another process
inline constexpr int kItemNotFound = 3265;
inline constexpr int kNullNotAllowed = 3314;
inline constexpr int kValidationRule = 3317;
inline constexpr int kUnrecognizedFormat = 3343;
inline constexpr int kObjectInvalid = 3420;
inline constexpr int kConversionError = 3421;
inline constexpr int kCriteriaTypeMismatch = 3464;

// Writing an Access (Jet 4) file in place of the engine.
inline constexpr int kRecordTooLarge = 3047;
inline constexpr int kFieldTooSmall = 3163;
inline constexpr int kFieldNotUpdatable = 3164;
inline constexpr int kWriteConflict = 3197;       // the file changed under the run
inline constexpr int kZeroLengthNotAllowed = 3315;

} // namespace dao::err
