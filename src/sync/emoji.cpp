#include "sync/emoji.h"

namespace devsync {

namespace {

constexpr const char16_t* kEmojiNames[kEmojiCount] = {
    u"微笑", u"撇嘴", u"色", u"发呆", u"得意", u"流泪", u"害羞", u"闭嘴",
    u"睡", u"大哭", u"尴尬", u"发怒", u"调皮", u"呲牙", u"惊讶", u"难过",
    u"囧", u"抓狂", u"吐", u"偷笑", u"愉快", u"白眼", u"傲慢", u"困",
    u"惊恐", u"流汗", u"憨笑", u"咒骂", u"疑问", u"嘘", u"晕", u"衰",
    u"骷髅", u"敲打", u"再见", u"擦汗", u"抠鼻", u"鼓掌", u"坏笑", u"左哼哼",
    u"鄙视", u"委屈", u"快哭了", u"阴险", u"亲亲", u"可怜", u"笑脸", u"生病",
    u"脸红", u"破涕为笑", u"恐惧", u"失望", u"无语", u"嘿哈", u"捂脸", u"奸笑",
    u"机智", u"皱眉", u"耶", u"吃瓜", u"加油", u"汗", u"天啊", u"Emm",
    u"社会社会", u"旺柴", u"好的", u"打脸", u"哇", u"翻白眼", u"666", u"让我看看",
    u"叹气", u"苦涩", u"裂开", u"嘴唇", u"爱心", u"心碎", u"拥抱", u"强",
    u"弱", u"握手", u"胜利", u"抱拳", u"勾引", u"拳头", u"OK", u"合十",
    u"啤酒", u"咖啡", u"蛋糕", u"玫瑰", u"凋谢", u"菜刀", u"炸弹", u"便便",
    u"月亮", u"太阳", u"庆祝", u"礼物", u"红包", u"發", u"福", u"烟花",
    u"爆竹", u"猪头", u"跳跳", u"发抖", u"转圈",
};

}  // namespace

std::u16string GetEmojiName(int id) {
  if (id < 1 || id > kEmojiCount) return {};
  return kEmojiNames[id - 1];
}

std::u16string GetEmojiText(int id) {
  std::u16string name = GetEmojiName(id);
  if (name.empty()) return {};
  return u"[" + name + u"]";
}

}  // namespace devsync
