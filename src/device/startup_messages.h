// Start-up failure texts, Shift-JIS (code page 932) bytes for the narrow message box.
#pragma once

// "ZORVA.DLL Error: インターフェースエラー"
inline constexpr char kBindFailedMessage[] = "ZORVA.DLL Error: \x83"
                                             "C\x83\x93\x83^\x81[\x83t\x83"
                                             "F\x81[\x83X\x83G\x83\x89\x81[";
// "ZORVA.DLL Error: DirectSoundの作成に失敗しました"
inline constexpr char kDeviceFailedMessage[] =
    "ZORVA.DLL Error: DirectSound\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// "ZORVA.DLL Error: DirectSound協調性レベルエラー"
inline constexpr char kCooperativeLevelMessage[] =
    "ZORVA.DLL Error: DirectSound\x8b\xa6\x92\xb2\x90\xab\x83\x8c\x83x\x83\x8b\x83G\x83\x89\x81[";
// "ZORVA.DLL Error: DirectSoundプライマリバッファ作成に失敗しました"
inline constexpr char kPrimaryBufferMessage[] =
    "ZORVA.DLL Error: DirectSound\x83v\x83\x89\x83"
    "C\x83}\x83\x8a\x83o\x83"
    "b\x83t\x83@\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// "ZORVA.DLL Error: DirectSoundストリームバッファ作成に失敗しました"
inline constexpr char kSlotTableMessage[] =
    "ZORVA.DLL Error: DirectSound\x83X\x83g\x83\x8a\x81[\x83\x80\x83o\x83"
    "b\x83t\x83@\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// "ZORVA.DLL Error: イベントハンドラバッファ作成に失敗しました"
inline constexpr char kEventArrayMessage[] =
    "ZORVA.DLL Error: \x83"
    "C\x83x\x83\x93\x83g\x83n\x83\x93\x83h\x83\x89\x83o\x83"
    "b\x83t\x83@\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// "ZORVA.DLL Error: 初期化に失敗しました"
inline constexpr char kStartupFailureCaption[] =
    "ZORVA.DLL Error: \x8f\x89\x8a\xfa\x89\xbb\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
