<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="pt_BR">
<context>
    <name>LED</name>
    <message>
        <source>valor de propriedade inválido: %1 não é Transparent (0) nem Opaque (1)</source>
        <translation>invalid property value: %1 is neither Transparent (0) nor Opaque (1)</translation>
    </message>
    <message>
        <source>LED Error</source>
        <translation>LED Error</translation>
    </message>
    <message>
        <source>Dígito inválido: no modo de dígito o valor deve ser de 0 a 9.</source>
        <translation>Invalid digit: in digit mode the value must be 0 to 9.</translation>
    </message>
    <message>
        <source>Máscara de segmentos inválida: no modo de máscara o valor deve ser de 0 a 127.</source>
        <translation>Invalid segment mask: in mask mode the value must be 0 to 127.</translation>
    </message>
    <message>
        <source>Unknown Error!</source>
        <translation>Unknown Error!</translation>
    </message>
    <message>
        <source>tipo incompatível: %1</source>
        <translation>type mismatch: %1</translation>
    </message>
    <message>
        <source>estouro: %1</source>
        <translation>overflow: %1</translation>
    </message>
    <message>
        <source>texto vazio não é um número</source>
        <translation>empty text is not a number</translation>
    </message>
    <message>
        <source>&quot;%1&quot; não é um número</source>
        <translation>&quot;%1&quot; is not a number</translation>
    </message>
    <message>
        <source>%1 é grande demais</source>
        <translation>%1 is too large</translation>
    </message>
    <message>
        <source>nenhum valor</source>
        <translation>no value</translation>
    </message>
    <message>
        <source>o número não é finito</source>
        <translation>the number is not finite</translation>
    </message>
    <message>
        <source>um %1 não é um número</source>
        <translation>a %1 is not a number</translation>
    </message>
    <message>
        <source>%1 está fora do intervalo de %2 a %3</source>
        <translation>%1 is outside %2 to %3</translation>
    </message>
    <message>
        <source>estouro: %1 twips não cabem num comprimento de 16 bits</source>
        <translation>overflow: %1 twips does not fit a 16-bit length</translation>
    </message>
</context>
<context>
    <name>LEDColorPage</name>
    <message>
        <source>Cor</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>Escolher a cor de %1</source>
        <translation>Choose the colour of %1</translation>
    </message>
</context>
<context>
    <name>LEDDesignerPlugin</name>
    <message>
        <source>LED: um dígito de sete segmentos com ponto decimal</source>
        <translation>LED: a seven-segment digit with a decimal point</translation>
    </message>
    <message>
        <source>Mostra um dígito de sete segmentos e um ponto decimal. Value é um dígito de 0 a 9, ou uma máscara de segmentos de 0 a 127 quando ValueIsMask está marcado; LEDColorOn e LEDColorOff dão a cor dos segmentos acesos e apagados. Use &quot;Edit LED Properties...&quot; no menu de contexto para editá-lo nas suas páginas de propriedades.</source>
        <translation>Shows one seven-segment digit and a decimal point. Value is a digit 0 to 9, or a segment mask 0 to 127 when ValueIsMask is set; LEDColorOn and LEDColorOff colour the lit and unlit segments. Use &quot;Edit LED Properties...&quot; from its context menu to edit it on its property pages.</translation>
    </message>
</context>
<context>
    <name>LEDProperties</name>
    <message>
        <source>LEDProperties</source>
        <translation>LEDProperties</translation>
    </message>
    <message>
        <source>Value:</source>
        <translation>Value:</translation>
    </message>
    <message>
        <source>ValueIsMask</source>
        <translation>ValueIsMask</translation>
    </message>
    <message>
        <source>ShowDecimal</source>
        <translation>ShowDecimal</translation>
    </message>
    <message>
        <source>ShowBorder</source>
        <translation>ShowBorder</translation>
    </message>
</context>
<context>
    <name>LEDPropertyPage</name>
    <message>
        <source>Nenhum controle está selecionado.</source>
        <translation>There is no control selected.</translation>
    </message>
    <message>
        <source>Não há controle ao qual aplicar as alterações.</source>
        <translation>There is no control to apply the changes to.</translation>
    </message>
    <message>
        <source>O objeto selecionado não tem a propriedade %1.</source>
        <translation>The selected object has no property %1.</translation>
    </message>
    <message>
        <source>O controle não tem a propriedade %1.</source>
        <translation>The control has no property %1.</translation>
    </message>
    <message>
        <source>Valor de propriedade inválido para %1.</source>
        <translation>Invalid property value for %1.</translation>
    </message>
</context>
<context>
    <name>LEDPropertySheet</name>
    <message>
        <source>Propriedades do LED</source>
        <translation>LED Properties</translation>
    </message>
</context>
<context>
    <name>LEDTaskMenu</name>
    <message>
        <source>Edit LED Properties...</source>
        <translation>Edit LED Properties...</translation>
    </message>
    <message>
        <source>Editar as propriedades do LED</source>
        <translation>Edit LED Properties</translation>
    </message>
</context>
</TS>
