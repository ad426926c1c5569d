// Every caption the panel shows, by key, in simplified Chinese, traditional
// Chinese and English, in the order the panel's screens use them. UTF-8.
#pragma once

namespace panel {

struct CaptionRow {
  const char* key;
  const char* simplified;
  const char* traditional;
  const char* english;
};

inline constexpr CaptionRow captionRows[] = {
    {"yinlianghuatongshezhibiaoti", "音量话筒设置", "音量話筒設置", "VolumeSetting"},
    {"jiantingyinliang", "监听音量", "監聽音量", "Play Volume"},
    {"jiantingjingyin", "监听静音", "監聽靜音", "Play Mute"},
    {"huatongyinliang", "话筒音量", "話筒音量", "Mic Volume"},
    {"huatongjingyin", "话筒静音", "話筒靜音", "Mic Mute"},
    {"yaxiandengji", "压限等级:", "壓限等級:", "Limiting Grade:"},
    {"huatongleibie", "话筒类别:", "話筒類別:", "Mic Type:"},
    {"dongquanhuatong", "动圈话筒", "動圈話筒", "Dynamic Mic"},
    {"dianronghuatong", "电容话筒", "電容話筒", "Condenser Mic"},
    {"moshishezhi", "模式设置", "模式設置", "Mode Setting"},
    {"putongmoshi", "普通模式", "普通模式", "Normal Mode"},
    {"jijiamoshi", "机架模式", "機架模式", "VST Mode"},
    {"xiaoguohuanyuan", "效果\n还原", "效果\n還原", "Restore\nEffect"},
    {"tingdaozijideshengyin", "听到自己的声音", "聽到自己的聲音", "Hear my voice"},
    {"litishenghunyin", "立体声混音", "立體聲混音", "Stereo Mix"},
    {"caiyanglvshezhi", "采样率设置", "採樣率設置", "Sample Rate Setting"},
    {"weishen", "位深:", "位深:", "Bit Depth:"},
    {"caiyanglv", "采样率:", "採樣率:", "Sample Rate:"},
    {"huanchongqudaxiao", "缓冲区大小:", "緩衝區大小:", "Buffer Size:"},
    {"shezhi", "设置", "設置", "Set"},
    {"quxiaoshezhi", "取消设置", "取消設置", "Cancel"},
    {"queding", "确定", "確定", "Ok"},
    {"shangchuangequbiaoti", "上传歌曲", "上傳歌曲", "Upload Song"},
    {"zhelixianshiluyinboxing", "这里显示录音波形", "這裡顯示錄音波形", "Display Wave Here"},
    {"luyinshezhi", "录音设置", "錄音設置", "RecSetting"},
    {"luzhi", "录制", "錄製", "Rec"},
    {"bofangtingzhi", "播放/停止", "播放/停止", "Play/Stop"},
    {"shangchuangequ", "上传歌曲", "上傳歌曲", "UploadSong"},
    {"cunweimp3", "存为MP3", "存為MP3", "SaveAsMP3"},
    {"xiaoguoshezhibiaoti", "效果设置", "效果設置", "Effect Setting"},
    {"shanbi", "闪避", "閃避", "Dodge"},
    {"yunxingzhuangtai", "运行状态", "運行狀態", "Status"},
    {"lanmoqid330kongzhimianban", "岚墨琪D330控制面板", "岚墨琪D330控制面板",
     "VYT D330 Controller"},
    {"xianshizhumianban", "显示主面板", "顯示主面板", "Show Main Window"},
    {"tuichukongzhimianban", "退出控制面板", "退出控制面板", "Exit"},
};

}  // namespace panel
