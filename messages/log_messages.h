// Every line the system writes to its log, in one table: an identity per line with its Chinese
// text (the program's own, shown by default) and its English text. Code that logs names the
// identity and gives the arguments; the text is chosen only when the log is shown, so a log
// already written can be shown again in the other language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velkor {

enum class Language : std::uint8_t { kZh, kEn };

// Both texts are printf-style formats taking the same conversions in the same order; a term
// (an identity whose text is a phrase, not a line) may stand where a %s is.
enum class Msg : std::uint16_t {
    kNone,  // no line (a seam's "nothing to report")
    kNote,  // a line that is the same in every language (names, English notes, OS text)

    // port search and cable
    kDeviceStk200,
    kDeviceXilinx,
    kDeviceLattice,
    kDeviceByteBlaster,
    kNoPower,
    kNoCable,
    kPortMissing,
    kNoPreciseClock,
    kPpdevFound,
    kPpdevUnusable,
    kDirectIopermFailed,
    kDirectUnsupported,
    kDriverNotOpen,
    kTermDriverNoManagerRights,
    kTermDriverNoManager,
    kTermDriverCannotRegister,
    kTermDriverCannotOpenService,
    kTermDriverFileMissing,
    kTermDriverCannotStart,
    kTermDriverCannotOpenDevice,

    // target connection
    kEchoMismatch,
    kConnectFailed,
    kReadFuseLow,
    kReadFuseHigh,
    kReadFuseExtended,
    kReadCalibrationHead,
    kCalibrationByte,
    kLineEnd,
    kExit,

    // chip identity
    kUnknownChip,
    kChipLocked,
    kTargetChip,
    kChipIndexOutOfList,
    kAt89NoAutoSelect,
    kSignatureMismatch,

    // memory operations and the sequence
    kErasing,
    kCalibrationToEeprom,
    kCalibrationToFlash,
    kVerifyNoFile,
    kWriteFlash,
    kWriteEeprom,
    kVerifyFlash,
    kVerifyEeprom,
    kReadFlash,
    kReadEeprom,
    kWriting,
    kComparing,
    kReading,
    kTimeoutAt,
    kPageCompareFailed,
    kByteCompareFailed,
    kEepromCompareFailed,
    kConfigWriteFailed,
    kTermFuseLow,
    kTermFuseHigh,
    kTermFuseExtended,
    kTermLockByte,
    kAt89NoEepromWrite,
    kAt89NoEepromVerify,
    kAt89NoFuses,
    kAt89NoLockWrite,
    kNoEepromRead,
    kWriteFuseLow,
    kWriteFuseHigh,
    kWriteFuseExtended,
    kWriteLock,
    kDone,
    kBusyRefused,
    kDriverCallsFailed,
    kResetMcu,

    // files and settings
    kHexOpenFailed,
    kHexNotRegular,
    kHexTooLarge,
    kHexFaultyNoData,
    kHexNoDataRecord,
    kHexFaultyStopped,
    kImageBeyondChip,
    kSettingsBadType,
    kSettingsBadIndex,
    kSettingsReadFailedDefaults,
    kSettingsBadPortBase,
    kSettingsReadFailedNotSaved,
    kSettingsPathNotStored,
    kSettingsNotSaved,
    kSettingsMissing,
    kSettingsBadUserPortDelay,

    // fuse safety and the fuse wizard
    kFuseHazard,
    kTermByteLow,
    kTermByteHigh,
    kTermByteExtended,
    kTermHazardResetDisabled,
    kTermHazardDebugWire,
    kTermHazardSerialOff,
    kInvalidClock,
    kInvalidStartup,

    // the window
    kWaitForRun,
    kCalibrationNot89,
    kFuseWriteCancelled,
    kHexChangedDuringRun,
    kSaveNoEeprom89,
    kSaveReadFailed,
    kSaved,
    kSaveWriteFailed,

    // the rules before a run
    kRefusedNoChip,
    kRefusedImageNotLoaded,
    kRefusedImageIncomplete,
    kRefusedNoEndRecord,
    kRefusedBeyondChip,
    kRefusedFuses89,
    kRefusedStep89,
    kRefusedNothingToDo,

    // an output that is not a file
    kSaveTargetNotRegular,
    // a read that lost its target
    kReadPowerLost,
    kReadTargetLost,
    // settings that were not used or not kept
    kSettingsNoKnownKey,
    kSettingsPathNotKept,
    kSettingsNotKeptNotice,

    // the driver file and device, and the Linux port paths: what was looked for, why it failed
    kDriverFileNotFound,
    kDriverFileUnreadable,
    kDriverFileNotOurs,
    kDriverServiceOtherFile,
    kDriverInUse,
    kPpdevNoneFound,
    kPpdevNotParallelPort,
    kPpdevCannotUse,
    kDirectIopermUnsupported,
    kDirectIopermOther,
    // a run stopped on request
    kRunStopped,
    // a watch whose folder went away
    kWatchFolderGone,

    // ELF files (avr-gcc's output) as the flash or EEPROM file
    kElfOtherMachine,
    kElfDamaged,
    kElfNoData,
    kElfConfigBytes,
    kElfNotSupported,

    // lines of a HEX file that are no record
    kHexOtherLines,
    // The port path chosen by the program itself, and the window's fallback for a simulated
    // chip it does not know
    kPortChoiceSim,
    kPortChoiceSim32On64,
    kPortChoiceSimDriverOtherMachine,
    kPortChoiceDriver,
    kPortChoicePpdev,
    kTermSimBench,
    kSimChipUnknown,
    kSimPartMissing,

    // the cable test's report
    kCablePort,
    kCablePortNone,
    kCableLoopback,
    kTermInverted,
    kCableKind,
    kCableKindResembles,
    kTermCableNone,
    kTermCableStk200,
    kTermCableXilinx,
    kTermCableLattice,
    kTermCableByteBlaster,
    kTermCableUnnamed,
    kCableNoPort,
    kCableDataStuck,
    kTermLevelHigh,
    kTermLevelLow,
    kCableShort,
    kCableListLine,
    kCableListNextLine,
    kCableListLastLine,
    kCableStuckLow,
    kCableMissingLoopback,
    kCableExtraLink,
    kCableNoLoopback,
    kCableNoSupply,
    kCableInOrder,
    kCableFault,

    kCount
};

struct MsgText {
    Msg id;
    const char* zh;
    const char* en;
};

// In the order of Msg; a check below keeps the two in step.
inline constexpr MsgText kMessages[] = {
    {Msg::kNone, "", ""},
    {Msg::kNote, "%s", "%s"},

    {Msg::kDeviceStk200, "设备:STK200/STK300 .\r\n", "Cable: STK200/STK300 .\r\n"},
    {Msg::kDeviceXilinx, "设备:Xilinx下载线 .\r\n", "Cable: Xilinx download cable .\r\n"},
    {Msg::kDeviceLattice, "设备:Lattice下载线.\r\n", "Cable: Lattice download cable.\r\n"},
    {Msg::kDeviceByteBlaster, "设备:Altera ByteBlasterMV .\r\n",
     "Cable: Altera ByteBlasterMV .\r\n"},
    {Msg::kNoPower, "没有正常供电.\r\n", "The target has no proper supply.\r\n"},
    {Msg::kNoCable, "无法找到适用的ISP下载线 %s.\n", "No usable ISP cable found %s.\n"},
    {Msg::kPortMissing, " %s(0x%X) 端口不存在\n", " %s(0x%X) port does not exist\n"},
    {Msg::kNoPreciseClock, "不支持精确时钟.\r\n", "No precise clock on this system.\r\n"},
    {Msg::kPpdevFound, "并口设备:%s\r\n", "Parallel port devices:%s\r\n"},
    {Msg::kPpdevUnusable, "无法使用并口设备 (%s). 请把用户加入 lp 组, 或检查设备权限.\r\n",
     "Cannot use the parallel port devices (%s). Add the user to group lp, or check the "
     "devices' permissions.\r\n"},
    {Msg::kDirectIopermFailed,
     "无法直接访问并口端口: ioperm 失败 (%s). 需要 root 权限 (CAP_SYS_RAWIO); 普通用户请使用 "
     "ppdev (--backend ppdev).\r\n",
     "Cannot reach the parallel port directly: ioperm failed (%s). This needs root "
     "(CAP_SYS_RAWIO); as a normal user use ppdev (--backend ppdev).\r\n"},
    {Msg::kDirectUnsupported, "本平台不支持直接执行端口指令; 请使用 ppdev 或驱动.\r\n",
     "This platform cannot run port instructions directly; use ppdev or the driver.\r\n"},
    {Msg::kDriverNotOpen,
     "驱动程序 Tarnel 未能打开: %s (错误 %u). 请以管理员身份运行, 并将 Tarnel.sys "
     "放在程序所在目录.\r\n",
     "The driver Tarnel could not be opened: %s (error %u). Run as administrator, with "
     "Tarnel.sys in the program's folder.\r\n"},
    {Msg::kTermDriverNoManagerRights, "没有使用服务管理器的权限",
     "no right to use the service manager"},
    {Msg::kTermDriverNoManager, "无法打开服务管理器", "cannot open the service manager"},
    {Msg::kTermDriverCannotRegister, "无法注册驱动服务", "cannot register the driver service"},
    {Msg::kTermDriverCannotOpenService, "无法打开已注册的驱动服务",
     "cannot open the registered driver service"},
    {Msg::kTermDriverFileMissing, "找不到驱动文件 Tarnel.sys", "driver file Tarnel.sys not found"},
    {Msg::kTermDriverCannotStart, "无法启动驱动服务", "cannot start the driver service"},
    {Msg::kTermDriverCannotOpenDevice, "无法打开驱动设备", "cannot open the driver device"},

    {Msg::kEchoMismatch, "返回字节不匹配 %X \r\n", "Echo byte mismatch %X \r\n"},
    {Msg::kConnectFailed, "目标芯片连接失败.\r\n", "Connection to the target chip failed.\r\n"},
    {Msg::kReadFuseLow, "读取熔丝低字节 %X \r\n", "Read fuse low byte %X \r\n"},
    {Msg::kReadFuseHigh, "读取熔丝高字节 %X \r\n", "Read fuse high byte %X \r\n"},
    {Msg::kReadFuseExtended, "读取熔丝扩展字节 %X \r\n", "Read fuse extended byte %X \r\n"},
    {Msg::kReadCalibrationHead, "读取校准字节:", "Read calibration bytes:"},
    {Msg::kCalibrationByte, " %X", " %X"},
    {Msg::kLineEnd, "\r\n", "\r\n"},
    {Msg::kExit, "退出\r\n", "Exit\r\n"},

    {Msg::kUnknownChip, "未知芯片 (%02X-%02X-%02X).\n", "Unknown chip (%02X-%02X-%02X).\n"},
    {Msg::kChipLocked, "芯片已经加密或同步失败.\n", "Chip is locked or out of sync.\n"},
    {Msg::kTargetChip, "目标芯片: AT%s.\n", "Target chip: AT%s.\n"},
    {Msg::kChipIndexOutOfList, "芯片序号 %u 超出当前芯片列表, 请重新选择芯片.\r\n",
     "Chip index %u is beyond the current chip list; choose the chip again.\r\n"},
    {Msg::kAt89NoAutoSelect, "89S5x 芯片不能自动识别, 请在芯片列表中选择.\r\n",
     "89S5x chips cannot be identified automatically; choose one in the chip list.\r\n"},
    {Msg::kSignatureMismatch, "标识字节不匹配%X %X %X \r\n", "Signature mismatch %X %X %X \r\n"},

    {Msg::kErasing, "擦除...\r\n", "Erasing...\r\n"},
    {Msg::kCalibrationToEeprom, "EEPROM: %04X 加入时钟校准字 %02X \r\n",
     "EEPROM: %04X calibration byte %02X added \r\n"},
    {Msg::kCalibrationToFlash, "FLASH: %04X 加入时钟校准字 %02X \r\n",
     "FLASH: %04X calibration byte %02X added \r\n"},
    {Msg::kVerifyNoFile, "校验: 没有载入的文件, 无法校验.\r\n",
     "Verify: no file loaded, nothing to verify against.\r\n"},
    {Msg::kWriteFlash, "写入Flash: \r\n", "Write Flash: \r\n"},
    {Msg::kWriteEeprom, "写入EEPROM: \r\n", "Write EEPROM: \r\n"},
    {Msg::kVerifyFlash, "校验Flash: \r\n", "Verify Flash: \r\n"},
    {Msg::kVerifyEeprom, "校验EEPROM: \r\n", "Verify EEPROM: \r\n"},
    {Msg::kReadFlash, "读取Flash: \r\n", "Read Flash: \r\n"},
    {Msg::kReadEeprom, "读取EEPROM: \r\n", "Read EEPROM: \r\n"},
    {Msg::kWriting, "写入中...\r\n", "Writing...\r\n"},
    {Msg::kComparing, "比较中...\r\n", "Comparing...\r\n"},
    {Msg::kReading, "读取中...\r\n", "Reading...\r\n"},
    {Msg::kTimeoutAt, "在 %04X超时\n", "Timeout at %04X\n"},
    {Msg::kPageCompareFailed, "在 %04X:页比较失败\n", "At %04X: page compare failed\n"},
    {Msg::kByteCompareFailed, "在 %04X:%02X-%02X失败\n", "At %04X:%02X-%02X failed\n"},
    {Msg::kEepromCompareFailed, "在 %04X:%02X-%02X校验失败\n", "At %04X:%02X-%02X verify failed\n"},
    {Msg::kConfigWriteFailed, "%s写入失败: 读回 %X, 写入的是 %X.\r\n",
     "%s write failed: read back %X, written %X.\r\n"},
    {Msg::kTermFuseLow, "熔丝低字节", "Fuse low byte"},
    {Msg::kTermFuseHigh, "熔丝高字节", "Fuse high byte"},
    {Msg::kTermFuseExtended, "熔丝扩展字节", "Fuse extended byte"},
    {Msg::kTermLockByte, "加密字节", "Lock byte"},
    {Msg::kAt89NoEepromWrite, "89S5x 芯片没有 EEPROM, 跳过 EEPROM 写入.\r\n",
     "89S5x chips have no EEPROM; EEPROM write skipped.\r\n"},
    {Msg::kAt89NoEepromVerify, "89S5x 芯片没有 EEPROM, 跳过 EEPROM 校验.\r\n",
     "89S5x chips have no EEPROM; EEPROM verify skipped.\r\n"},
    {Msg::kAt89NoFuses, "89S5x 芯片没有熔丝字节, 跳过熔丝写入.\r\n",
     "89S5x chips have no fuse bytes; fuse write skipped.\r\n"},
    {Msg::kAt89NoLockWrite, "89S5x 芯片不支持加密字节写入, 跳过.\r\n",
     "89S5x chips take no lock byte write; skipped.\r\n"},
    {Msg::kNoEepromRead, "此芯片没有 EEPROM, 跳过 EEPROM 读取.\r\n",
     "This chip has no EEPROM; EEPROM read skipped.\r\n"},
    {Msg::kWriteFuseLow, "写入熔丝低字节 %X \r\n", "Write fuse low byte %X \r\n"},
    {Msg::kWriteFuseHigh, "写入熔丝高字节 %X \r\n", "Write fuse high byte %X \r\n"},
    {Msg::kWriteFuseExtended, "写入熔丝扩展字节 %X \r\n", "Write fuse extended byte %X \r\n"},
    {Msg::kWriteLock, "写入加密字节 %X \r\n", "Write lock byte %X \r\n"},
    {Msg::kDone, "完成.\r\n", "Done.\r\n"},
    {Msg::kBusyRefused, "上一个操作还在进行中, 本次请求未执行.\r\n",
     "The previous operation is still running; this request was not carried out.\r\n"},
    {Msg::kDriverCallsFailed, "有 %u 次驱动调用失败, 本次操作结果不可信.\r\n",
     "%u driver calls failed; the result of this operation cannot be trusted.\r\n"},
    {Msg::kResetMcu, "复位MCU\r\n", "Reset MCU\r\n"},

    {Msg::kHexOpenFailed, "无法打开HEX文件 %s, 映像保持不变.\r\n",
     "Cannot open the HEX file %s; the image is unchanged.\r\n"},
    {Msg::kHexNotRegular, "%s 不是普通文件, 不能作为HEX文件读取, 映像保持不变.\r\n",
     "%s is not a regular file and cannot be read as a HEX file; the image is unchanged.\r\n"},
    {Msg::kHexTooLarge, "HEX文件 %s 超过 %u 字节, 不予读取, 映像保持不变.\r\n",
     "The HEX file %s is larger than %u bytes and is not read; the image is unchanged.\r\n"},
    {Msg::kHexFaultyNoData, "HEX文件 %s 第 %d 行有错误, 未读到任何数据, 映像保持不变.\r\n",
     "The HEX file %s has an error in line %d; no data was read, the image is unchanged.\r\n"},
    {Msg::kHexNoDataRecord, "%s 中没有数据记录, 不是HEX文件, 映像保持不变.\r\n",
     "%s holds no data record and is no HEX file; the image is unchanged.\r\n"},
    {Msg::kHexFaultyStopped, "HEX文件 %s 第 %d 行有错误, 读取在此停止, 其后的数据未载入.\r\n",
     "The HEX file %s has an error in line %d; reading stopped there, the data after it was not "
     "loaded.\r\n"},
    {Msg::kImageBeyondChip,
     "%s映像有 %llu 字节超出 %s 的%s (%llu 字节), 起始地址 %llX, 这些数据不会写入.\r\n",
     "%s image has %llu bytes beyond %s's %s (%llu bytes), from address %llX; they will not be "
     "written.\r\n"},
    {Msg::kSettingsBadType, "设置文件中的芯片类型 %d 无效, 改用 AVR.\r\n",
     "The chip type %d in the settings file is not valid; AVR is used.\r\n"},
    {Msg::kSettingsBadIndex, "设置文件中的芯片序号 %d 超出范围, 未选择芯片.\r\n",
     "The chip index %d in the settings file is out of range; no chip is selected.\r\n"},
    {Msg::kSettingsReadFailedDefaults, "读取设置文件失败 (%s), 使用默认设置.\r\n",
     "Reading the settings file failed (%s); the default settings are used.\r\n"},
    {Msg::kSettingsBadPortBase,
     "设置文件中的 PORT/Base=%s 不是有效的端口地址 (0x100..0xFFFC), 已忽略.\r\n",
     "PORT/Base=%s in the settings file is no valid port address (0x100..0xFFFC); ignored.\r\n"},
    {Msg::kSettingsReadFailedNotSaved, "读取设置文件失败 (%s), 设置未保存.\r\n",
     "Reading the settings file failed (%s); the settings were not saved.\r\n"},
    {Msg::kSettingsPathNotStored,
     "路径 %s 含有换行或GBK无法表示的字符, 未能存入设置文件, 保留原值.\r\n",
     "The path %s holds a line break or characters GBK cannot represent; it was not stored in "
     "the settings file, the old value is kept.\r\n"},
    {Msg::kSettingsNotSaved, "设置未能保存, 原有的设置文件保持不变: %s\r\n",
     "The settings could not be saved; the settings file is unchanged: %s\r\n"},
    {Msg::kSettingsMissing, "设置文件 %s 不存在.\r\n", "The settings file %s does not exist.\r\n"},
    {Msg::kSettingsBadUserPortDelay, "设置文件中的 UserPortDly=%d 超出 0..65535, 改用 %d.\r\n",
     "UserPortDly=%d in the settings file is outside 0..65535; %d is used.\r\n"},

    {Msg::kFuseHazard, "熔丝%s字节 %02X 的位 %s (位%d): %s.\r\n",
     "Fuse %s byte %02X, bit %s (bit %d): %s.\r\n"},
    {Msg::kTermByteLow, "低", "low"},
    {Msg::kTermByteHigh, "高", "high"},
    {Msg::kTermByteExtended, "扩展", "extended"},
    {Msg::kTermHazardResetDisabled, "编程后RESET引脚变为I/O口, 串行编程将永久无法进入",
     "programmed, the RESET pin becomes an I/O pin and serial programming can never be entered "
     "again"},
    {Msg::kTermHazardDebugWire, "编程后RESET引脚用于debugWIRE, 串行编程无法进入",
     "programmed, the RESET pin becomes the debugWIRE line and serial programming can no longer "
     "be entered"},
    {Msg::kTermHazardSerialOff, "不编程则关闭串行编程接口, 此后无法再串行编程",
     "unprogrammed, the serial programming interface is switched off for good"},
    // No line break, as the program has always logged it: the next line continues the row.
    {Msg::kInvalidClock, "无效的时钟设置!", "Invalid clock setting!"},
    {Msg::kInvalidStartup, "无效的启动时间设置!\r\n", "Invalid start-up time setting!\r\n"},

    {Msg::kWaitForRun, "正在等待当前操作结束, 之后关闭窗口...\r\n",
     "Waiting for the current operation to end, then the window closes...\r\n"},
    {Msg::kCalibrationNot89, "89S5x 芯片没有振荡器校准字节, 命令未执行.\r\n",
     "89S5x chips have no oscillator calibration bytes; the command was not carried out.\r\n"},
    {Msg::kFuseWriteCancelled, "熔丝写入已取消.\r\n", "Fuse write cancelled.\r\n"},
    {Msg::kHexChangedDuringRun, "hex文件已经更新, 当前操作结束后重新载入.\r\n",
     "The hex file has changed; it is loaded again when the current operation ends.\r\n"},
    {Msg::kSaveNoEeprom89, "89S5x 芯片没有 EEPROM, 命令未执行.\r\n",
     "89S5x chips have no EEPROM; the command was not carried out.\r\n"},
    {Msg::kSaveReadFailed, "读取没有完成, 文件未写入.\r\n",
     "The read did not complete; no file was written.\r\n"},
    // The memory ("Flash", "EEPROM"), the byte count and the path.
    {Msg::kSaved, "%s %u 字节已保存到 %s\r\n", "%s: %u bytes saved to %s\r\n"},
    {Msg::kSaveWriteFailed, "文件未能写入: %s\r\n", "The file could not be written: %s\r\n"},

    {Msg::kRefusedNoChip, "未选择芯片, 操作未执行.\r\n", "No chip selected; nothing was done.\r\n"},
    {Msg::kRefusedImageNotLoaded, "%s文件 %s 未能载入, 操作未执行.\r\n",
     "The %s file %s was not loaded; nothing was done.\r\n"},
    {Msg::kRefusedImageIncomplete, "%s文件 %s 第 %d 行有错误, 文件不完整, 操作未执行.\r\n",
     "The %s file %s is incomplete (faulty line %d); nothing was done.\r\n"},
    {Msg::kRefusedNoEndRecord, "hex文件 %s 没有结束记录, 未自动编程.\r\n",
     "%s has no end record; not programmed automatically.\r\n"},
    {Msg::kRefusedBeyondChip, "映像中有超出芯片容量的数据, 操作未执行.\r\n",
     "The image holds data beyond the chip; nothing was done.\r\n"},
    {Msg::kRefusedFuses89, "89S5x 芯片没有熔丝位, 命令未执行.\r\n",
     "89S5x chips have no fuse bytes; nothing was done.\r\n"},
    {Msg::kRefusedStep89, "%s (89S5x) 没有 %s 步骤, 操作未执行.\r\n",
     "%s (89S5x family) has no %s step; nothing was done.\r\n"},
    {Msg::kRefusedNothingToDo, "没有选择任何步骤, 操作未执行.\r\n",
     "No step chosen; nothing to do.\r\n"},
    // The path.
    {Msg::kSaveTargetNotRegular, "%s 不是普通文件 (设备, 管道, 套接字或文件夹), 未写入.\r\n",
     "%s is not a regular file (a device, pipe, socket or folder); nothing was written.\r\n"},
    {Msg::kReadPowerLost, "读取过程中目标板断电, 读出的数据作废.\r\n",
     "The target lost its supply during the read; the data read is discarded.\r\n"},
    {Msg::kReadTargetLost, "读取结束时芯片不再应答, 读出的数据作废.\r\n",
     "The chip no longer answered at the end of the read; the data read is discarded.\r\n"},
    // The settings file's path.
    {Msg::kSettingsNoKnownKey, "设置文件 %s 中没有本程序认识的设置, 未使用.\r\n",
     "The settings file %s holds no setting this program knows; it was not used.\r\n"},
    // The file's path.
    {Msg::kSettingsPathNotKept, "%s 含有设置文件 (GBK) 无法保存的字符, 下次启动时不会重新打开.\r\n",
     "%s has characters the settings file (GBK) cannot hold; the next start will not reopen "
     "it.\r\n"},
    {Msg::kSettingsNotKeptNotice, "以下设置未能保存:\r\n", "These settings could not be kept:\r\n"},

    // The path looked at.
    {Msg::kDriverFileNotFound,
     "找不到驱动文件 %s, 驱动程序 Tarnel 未启动. 请把随程序发布的 Tarnel.sys 放在程序所在目录.\r\n",
     "The driver file %s was not found; the driver Tarnel was not started. Put the Tarnel.sys "
     "that came with the program in the program's folder.\r\n"},
    // The path and the system's reason.
    {Msg::kDriverFileUnreadable, "无法读取驱动文件 %s (%s), 驱动程序 Tarnel 未启动.\r\n",
     "The driver file %s could not be read (%s); the driver Tarnel was not started.\r\n"},
    // The path and the file's SHA-256.
    {Msg::kDriverFileNotOurs,
     "驱动文件 %s 不是本程序所带的 Tarnel.sys (SHA-256 %s), 已拒绝注册和启动.\r\n",
     "The driver file %s is not the Tarnel.sys this program was built with (SHA-256 %s); it "
     "was neither registered nor started.\r\n"},
    // The file the service names, the program's driver file, the system's error code.
    {Msg::kDriverServiceOtherFile,
     "已注册的驱动服务 Tarnel 指向另一个文件 %s, 无法改为 %s (错误 %u), 驱动程序未启动. "
     "请以管理员身份运行.\r\n",
     "The registered driver service Tarnel names another file, %s, and could not be changed to "
     "%s (error %u); the driver was not started. Run as administrator.\r\n"},
    {Msg::kDriverInUse, "驱动程序 Tarnel 正被另一个程序使用, 请先关闭那个程序.\r\n",
     "The driver Tarnel is in use by another program; close that program first.\r\n"},
    // Where parport device nodes were looked for, and where the kernel lists its ports.
    {Msg::kPpdevNoneFound,
     "没有找到并口设备: %s 不存在, %s 中也没有并口. 请确认已载入 parport_pc 和 ppdev "
     "模块.\r\n",
     "No parallel port device found: %s does not exist, and %s lists no port. Check that the "
     "parport_pc and ppdev modules are loaded.\r\n"},
    // The devices and the system's reason.
    {Msg::kPpdevNotParallelPort, "%s 不是并口设备 (ppdev 不接受其请求).\r\n",
     "%s is not a parallel port device (it refuses the ppdev requests).\r\n"},
    {Msg::kPpdevCannotUse, "无法使用并口设备 (%s).\r\n",
     "Cannot use the parallel port devices (%s).\r\n"},
    // The ports asked for, and the system's reason.
    {Msg::kDirectIopermUnsupported,
     "无法直接访问并口端口 %s: 本系统内核不支持 ioperm (%s). 请使用 ppdev (--backend "
     "ppdev).\r\n",
     "Cannot reach the parallel ports %s directly: this kernel does not support ioperm (%s). "
     "Use ppdev (--backend ppdev).\r\n"},
    {Msg::kDirectIopermOther, "无法直接访问并口端口 %s: ioperm 失败 (%s).\r\n",
     "Cannot reach the parallel ports %s directly: ioperm failed (%s).\r\n"},
    {Msg::kRunStopped, "已按要求中止, 操作未完成.\r\n",
     "Stopped on request; the run did not finish.\r\n"},
    // The folder that went away and the folder watched meanwhile.
    {Msg::kWatchFolderGone,
     "hex文件所在的文件夹 %s 已被删除; 正在监视 %s, 文件夹重新建立后继续监视该文件.\r\n",
     "The folder %s of the hex file was removed; watching %s, and the file again once the "
     "folder is back.\r\n"},
    {Msg::kElfOtherMachine,
     "%s 是另一种处理器的ELF文件 (机器号 %u), 不是AVR程序, 映像保持不变.\r\n",
     "%s is an ELF file for another processor (machine %u), not an AVR program; the image is "
     "unchanged.\r\n"},
    {Msg::kElfDamaged, "ELF文件 %s 已损坏 (%s), 映像保持不变.\r\n",
     "The ELF file %s is damaged (%s); the image is unchanged.\r\n"},
    {Msg::kElfNoData, "ELF文件 %s 中没有%s数据, 映像保持不变.\r\n",
     "The ELF file %s holds no %s data; the image is unchanged.\r\n"},
    {Msg::kElfConfigBytes, "ELF文件 %s 给出的字节:%s, 只在选中FUSE或LOCK步骤时写入.\r\n",
     "The ELF file %s gives these bytes:%s; they are written only with the FUSE or LOCK "
     "step.\r\n"},
    {Msg::kElfNotSupported, "%s: 本版本不能读取ELF文件, 请用 avr-objcopy -O ihex 转换.\r\n",
     "%s: this build reads no ELF files; convert it with avr-objcopy -O ihex.\r\n"},
    // The path, how many lines and the number of the first.
    {Msg::kHexOtherLines, "HEX文件 %s 中有 %u 行不是记录 (第一处在第 %d 行), 已跳过.\r\n",
     "%s has %u lines that are not records (the first at line %d); they were skipped.\r\n"},

    // The chip or kTermSimBench, and the cable's name.
    {Msg::kPortChoiceSim, "未找到并口, 使用内置的模拟%s, 接在 %s 下载线上.\r\n",
     "no parallel port found; using the built-in simulated %s on a %s cable\r\n"},
    {Msg::kPortChoiceSim32On64,
     "本32位程序无法在64位Windows上载入端口驱动, 请启动64位的 VelkorISP.exe (或 "
     "velkorisp-cli.exe) 并把x64的 Tarnel.sys 放在旁边; 现在使用内置的模拟%s, 接在 %s "
     "下载线上.\r\n",
     "this 32-bit program cannot load its port driver on 64-bit Windows; start the 64-bit "
     "VelkorISP.exe (or velkorisp-cli.exe) with the x64 Tarnel.sys beside it; using the "
     "built-in simulated %s on a %s cable\r\n"},
    // The driver file's machine ("x86", "x64"), the program's machine twice, the chip or
    // kTermSimBench, and the cable's name.
    {Msg::kPortChoiceSimDriverOtherMachine,
     "程序旁的 Tarnel.sys 是 %s 驱动, 但本程序是 %s 版本, 请把 %s 的 Tarnel.sys 放在旁边; "
     "现在使用内置的模拟%s, 接在 %s 下载线上.\r\n",
     "the Tarnel.sys beside the program is the %s driver, but this program is %s; put the %s "
     "Tarnel.sys beside it; using the built-in simulated %s on a %s cable\r\n"},
    {Msg::kPortChoiceDriver, "使用程序所在目录中的端口驱动 Tarnel.\r\n",
     "using the port driver Tarnel beside the program\r\n"},
    {Msg::kPortChoicePpdev, "通过 ppdev (/dev/parportN) 使用并口.\r\n",
     "using the parallel port through ppdev (/dev/parportN)\r\n"},
    {Msg::kTermSimBench, "电路板", "bench"},
    // The chip the settings name.
    {Msg::kSimChipUnknown, "模拟器不认识芯片 '%s', 改用模拟电路板的默认芯片.\r\n",
     "unknown chip '%s' for the simulated bench; using the simulated bench with its default "
     "chip\r\n"},
    {Msg::kSimPartMissing, "模拟器没有芯片 '%s' 的模型, 改用模拟电路板的默认芯片.\r\n",
     "no simulated part '%s' for the simulated bench; using the simulated bench with its "
     "default chip\r\n"},

    // The port's name and base.
    {Msg::kCablePort, "端口: %s (0x%X)\r\n", "port: %s (0x%X)\r\n"},
    {Msg::kCablePortNone, "端口: 无\r\n", "port: none\r\n"},
    // The data bit and its pin, the status line's name and pin, kTermInverted or "".
    {Msg::kCableLoopback, "回环: D%d (引脚 %d) -> %s (引脚 %d)%s\r\n",
     "loopback: D%d (pin %d) -> %s (pin %d)%s\r\n"},
    {Msg::kTermInverted, ", 反相", ", inverted"},
    // The cable kind (a kTermCable… term).
    {Msg::kCableKind, "下载线: %s\r\n", "cable: %s\r\n"},
    // The cable kind (kTermCableNone) and the kind it resembles.
    {Msg::kCableKindResembles, "下载线: %s (类似 %s)\r\n", "cable: %s (resembles %s)\r\n"},
    {Msg::kTermCableNone, "无", "none"},
    {Msg::kTermCableStk200, "STK200/STK300", "STK200/STK300"},
    {Msg::kTermCableXilinx, "Xilinx下载线", "Xilinx download cable"},
    {Msg::kTermCableLattice, "Lattice下载线", "Lattice download cable"},
    {Msg::kTermCableByteBlaster, "Altera ByteBlasterMV", "Altera ByteBlasterMV"},
    {Msg::kTermCableUnnamed, "无名下载线 (类型 7, D7 回环到 PAPER END)",
     "unnamed cable (kind 7, D7 looped to PAPER END)"},
    // The ports tried, with their bases.
    {Msg::kCableNoPort,
     "问题: %s 都没有并口应答: 请在BIOS设置中确认并口已启用, 并且本程序有权使用; PCI或PCIe"
     "并口卡需要在设置或 --port-base 中给出基地址\r\n",
     "problem: no parallel port answers at %s: check that the port is enabled in the BIOS setup "
     "and that this program may use it; a PCI or PCIe card needs its base address in the "
     "settings or --port-base\r\n"},
    // The data bit and its pin, kTermLevelHigh or kTermLevelLow, the pin again.
    {Msg::kCableDataStuck,
     "问题: 数据线 D%d (引脚 %d) 无论写入什么都保持%s: 端口有故障, 或引脚 %d 上有东西拉住了"
     "这条线; 请把下载线换到另一个端口试试\r\n",
     "problem: data line D%d (pin %d) stays %s whatever is written: the port is faulty, or "
     "something on pin %d holds the line; try the cable on another port\r\n"},
    {Msg::kTermLevelHigh, "高电平", "high"},
    {Msg::kTermLevelLow, "低电平", "low"},
    // The status line's name and pin, and the data lines: a kCableListLine, then
    // kCableListNextLine for each but the last, which is a kCableListLastLine.
    {Msg::kCableShort,
     "问题: %s (引脚 %d) 随 %s 一起变低: 其中两根线碰在一起 (插头内短路或线缆被压伤); "
     "请打开插头检查焊点\r\n",
     "problem: %s (pin %d) goes low with %s alike: two of these wires touch (a short in the "
     "plug or a pinched cable); open the plug and check the solder joints\r\n"},
    // The data bit and its pin.
    {Msg::kCableListLine, "D%d (引脚 %d)", "D%d (pin %d)"},
    {Msg::kCableListNextLine, ", D%d (引脚 %d)", ", D%d (pin %d)"},
    {Msg::kCableListLastLine, " 和 D%d (引脚 %d)", " and D%d (pin %d)"},
    // The status line's name and pin.
    {Msg::kCableStuckLow,
     "问题: %s (引脚 %d) 无论数据线怎样变化都保持低电平: 它对地短路或被拉低; 请检查线缆是否"
     "被压伤, 并拔下目标板看是否由它引起\r\n",
     "problem: %s (pin %d) stays low whatever the data lines do: it is shorted to ground or "
     "held low; check the cable for a pinched wire and unplug the target to see if it is the "
     "cause\r\n"},
    // The cable kind it looks like, the status line's name and pin, the data bit and its pin,
    // and the two pins of the broken wire.
    {Msg::kCableMissingLoopback,
     "问题: 看起来是%s, 但 %s (引脚 %d) 不随 D%d (引脚 %d) 变化: 引脚 %d 和 %d 之间的回环线"
     "断了\r\n",
     "problem: this looks like a %s, but %s (pin %d) does not follow D%d (pin %d): the "
     "loopback wire between pins %d and %d is broken\r\n"},
    // The status line's name and pin, the data bit and its pin.
    {Msg::kCableExtraLink,
     "问题: %s (引脚 %d) 随 D%d (引脚 %d) 变化, 但已知的下载线都没有这样接: 这条线碰到了另一"
     "根线 (短路), 或下载线是未知类型\r\n",
     "problem: %s (pin %d) follows D%d (pin %d), which none of the known cables wires: the "
     "line touches another one (a short) or the cable is of an unknown kind\r\n"},
    {Msg::kCableNoLoopback,
     "问题: 没有任何状态线随数据线变化: 没有插下载线, 下载线不是五种之一, 或其回环线断了 "
     "(STK200/STK300 把 D0, 引脚 2, 接回 PAPER END, 引脚 12)\r\n",
     "problem: no status line follows any data line: no cable is plugged in, the cable is not "
     "one of the five kinds, or its loopback wire is broken (an STK200/STK300 loops D0, pin 2, "
     "to PAPER END, pin 12)\r\n"},
    {Msg::kCableNoSupply,
     "问题: 检测不到目标板电源 (ERROR, 引脚 15, 为低电平): 请打开目标板电源, 或检查下载线到"
     "目标板插座的 VCC 线\r\n",
     "problem: the target's supply is not sensed (ERROR, pin 15, reads low): switch the target "
     "board on, or check the cable's VCC wire to the target connector\r\n"},
    {Msg::kCableInOrder, "结果: 下载线正常\r\n", "result: the cable is in order\r\n"},
    {Msg::kCableFault, "结果: 发现故障\r\n", "result: fault found\r\n"},
};

constexpr bool MessagesInOrder() {
    if (std::size(kMessages) != static_cast<std::size_t>(Msg::kCount)) return false;
    for (std::size_t i = 0; i < std::size(kMessages); ++i) {
        if (static_cast<std::size_t>(kMessages[i].id) != i) return false;
    }
    return true;
}
static_assert(MessagesInOrder(), "kMessages must list every Msg once, in enum order");

constexpr const char* MsgZh(Msg id) {
    return kMessages[static_cast<std::size_t>(id)].zh;
}
constexpr const char* MsgEn(Msg id) {
    return kMessages[static_cast<std::size_t>(id)].en;
}
constexpr const char* MsgFormat(Msg id, Language language) {
    return language == Language::kEn ? MsgEn(id) : MsgZh(id);
}

struct LogLine;

// An argument of a line: a number for %d/%u/%X (any width), a text, a term or a run of
// lines (rendered one after the other, in the line's language) for %s. The run lets a
// list of any length take its words from the table.
using LogArg = std::variant<long long, std::string, Msg, std::vector<LogLine>>;

struct LogLine {
    Msg id = Msg::kNone;
    std::vector<LogArg> args;

    LogLine() = default;
    LogLine(Msg message) : id(message) {}  // NOLINT: a plain identity is a line too
    LogLine(Msg message, std::vector<LogArg> arguments) : id(message), args(std::move(arguments)) {}
    bool Empty() const { return id == Msg::kNone; }
    bool operator==(const LogLine&) const = default;
};

// Number arguments from any integer type.
template <typename T>
LogArg Num(T value) {
    return LogArg{static_cast<long long>(value)};
}

// The line's text in the language. A missing argument renders as nothing, a surplus one is
// ignored; neither happens with the table's own lines.
std::string Render(const LogLine& line, Language language);
std::string RenderFormat(const char* format, const std::vector<LogArg>& args, Language language);

// The conversions a format takes, in order ("%02X" gives "X", "%llu" gives "u"), for checks
// that both texts of a line take the same arguments.
std::string Conversions(const char* format);

// "zh" / "en" and back.
std::optional<Language> ParseLanguage(std::string_view code);
const char* LanguageCode(Language language);

// The language a locale name picks: Chinese for "zh…", English otherwise.
Language LanguageOfLocale(std::string_view locale);

}  // namespace velkor
