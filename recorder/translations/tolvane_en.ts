<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="pt_BR">
<context>
    <name>AutoStartMenu</name>
    <message>
        <source>Começar às…</source>
        <translation>Start at…</translation>
    </message>
    <message>
        <source>Cancelar início programado</source>
        <translation>Cancel scheduled start</translation>
    </message>
    <message>
        <source>Gravar quando houver som</source>
        <translation>Record when there is sound</translation>
    </message>
    <message>
        <source>Nível de disparo</source>
        <translation>Trigger level</translation>
    </message>
    <message>
        <source>%1 dBFS</source>
        <translation>%1 dBFS</translation>
    </message>
    <message>
        <source>Começar a gravação às (horas:minutos):</source>
        <translation>Start recording at (hours:minutes):</translation>
    </message>
    <message>
        <source>Começar a gravação às</source>
        <translation>Start recording at</translation>
    </message>
</context>
<context>
    <name>CaptureEngine</name>
    <message>
        <source>O gravador ficou para trás e parte da gravação se perdeu: %1</source>
        <translation>The recorder fell behind and part of the take was lost: %1</translation>
    </message>
    <message>
        <source>, e mais %1 trechos; %L2 s ao todo</source>
        <translation>, and %1 more gaps; %L2 s in all</translation>
    </message>
    <message>
        <source>%L1 s perdidos em %2</source>
        <translation>%L1 s lost at %2</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>esta cópia roda de uma pasta própria com permissão de escrita, então as gravações ficam ao lado dela:</source>
        <translation>this copy runs from a writable folder of its own, so takes go next to it:</translation>
    </message>
    <message>
        <source>esta cópia está instalada (ou sua pasta é somente leitura), então as gravações vão para a pasta de música do usuário:</source>
        <translation>this copy is installed (or its folder is read-only), so takes go to the user&apos;s music folder:</translation>
    </message>
    <message>
        <source>Onde ficam as gravações:
  %1
  %2
</source>
        <translation>Where takes go:
  %1
  %2
</translation>
    </message>
    <message>
        <source>O Tolvane não aceita argumentos: &apos;%1&apos;.</source>
        <translation>Tolvane takes no arguments: &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>tolvane: %1
Experimente &apos;tolvane --help&apos;.
</source>
        <translation>tolvane: %1
Try &apos;tolvane --help&apos;.
</translation>
    </message>
    <message>
        <source>Grava desta vez da fonte NOME (um nome de &quot;pactl list short sources&quot;), sem mudar a entrada escolhida na janela.</source>
        <translation>Records this time from the source NAME (a name from &quot;pactl list short sources&quot;), without changing the input chosen in the window.</translation>
    </message>
    <message>
        <source>NOME</source>
        <translation>NAME</translation>
    </message>
    <message>
        <source>Grava a entrada de áudio escolhida em arquivos WAV PCM de 16 bits.</source>
        <translation>Records the chosen audio input into 16-bit PCM WAV takes.</translation>
    </message>
    <message>
        <source>Som:
  As gravações vêm da entrada escolhida no menu de contexto do nível de gravação
  (&quot;Entrada de áudio&quot;): a fonte padrão do PulseAudio ou do serviço PulseAudio do
  PipeWire, ou outra fonte, guardada para as próximas vezes.
  --source &lt;nome&gt; ou PULSE_SOURCE=&lt;nome&gt; gravam desta vez da fonte &lt;nome&gt;, à frente da
  escolha guardada; --source vence PULSE_SOURCE. PULSE_SERVER=&lt;endereço&gt; usa outro servidor.
</source>
        <translation>Sound:
  Takes record the input chosen in the recording level&apos;s context menu
  (&quot;Audio input&quot;): the default source of PulseAudio or of PipeWire&apos;s PulseAudio
  service, or another source, kept for the next runs.
  --source &lt;name&gt; or PULSE_SOURCE=&lt;name&gt; record from the source &lt;name&gt; this time, ahead of
  the kept choice; --source wins over PULSE_SOURCE. PULSE_SERVER=&lt;address&gt; uses another server.
</translation>
    </message>
</context>
<context>
    <name>Encoding</name>
    <message>
        <source>O salvamento como &quot;%1&quot; foi cancelado.</source>
        <translation>Saving as &quot;%1&quot; was cancelled.</translation>
    </message>
    <message>
        <source>Não foi possível ler a gravação para salvá-la como &quot;%1&quot;: %2.</source>
        <translation>Could not read the take to save it as &quot;%1&quot;: %2.</translation>
    </message>
    <message>
        <source>Não foi possível criar &quot;%1&quot;: %2.</source>
        <translation>Could not create &quot;%1&quot;: %2.</translation>
    </message>
    <message>
        <source>O arquivo salvo como &quot;%1&quot; não confere com a gravação e foi removido: %2.</source>
        <translation>The file saved as &quot;%1&quot; did not match the take, so it was removed: %2.</translation>
    </message>
    <message>
        <source>Não foi possível salvar a gravação como &quot;%1&quot;: %2.</source>
        <translation>Could not save the take as &quot;%1&quot;: %2.</translation>
    </message>
    <message>
        <source>as partes da gravação têm formatos diferentes</source>
        <translation>the take&apos;s parts have different formats</translation>
    </message>
    <message>
        <source>a gravação tem %1 quadros, mas só %2 puderam ser lidos</source>
        <translation>the take has %1 frames, but only %2 could be read</translation>
    </message>
    <message>
        <source>o arquivo diz ter %1 quadros, %2 canais a %3 Hz, e deveria ter %4 quadros, %5 canais a %6 Hz</source>
        <translation>the file says it has %1 frames, %2 channels at %3 Hz, and should have %4 frames, %5 channels at %6 Hz</translation>
    </message>
    <message>
        <source>só %1 dos %2 quadros puderam ser lidos de volta</source>
        <translation>only %1 of the %2 frames could be read back</translation>
    </message>
    <message>
        <source>a gravação ficou mais curta durante o salvamento</source>
        <translation>the take got shorter while it was being saved</translation>
    </message>
    <message>
        <source>O salvamento dos %1 arquivos foi cancelado; nenhum foi gravado.</source>
        <translation>The save of the %1 files was cancelled; none was written.</translation>
    </message>
    <message>
        <source>Já existe um arquivo chamado &quot;%1&quot;.</source>
        <translation>A file named &quot;%1&quot; exists already.</translation>
    </message>
    <message>
        <source>Não foi possível gravar as etiquetas e marcas em &quot;%1&quot;: %2.</source>
        <translation>The tags and markers could not be written into &quot;%1&quot;: %2.</translation>
    </message>
    <message>
        <source>Nenhum dos %1 arquivos foi gravado.</source>
        <translation>None of the %1 files was written.</translation>
    </message>
    <message>
        <source>o trecho do quadro %1 ao %2 não está dentro da gravação, que tem %3 quadros</source>
        <translation>frames %1 to %2 are not within the take, which has %3 frames</translation>
    </message>
    <message>
        <source>a gravação tem %1 bits por amostra, e só gravações de 16 ou 24 bits podem ser salvas sem perdas</source>
        <translation>the take has %1 bits per sample, and only 16- or 24-bit takes can be saved losslessly</translation>
    </message>
    <message>
        <source>as amostras diferem da gravação entre os quadros %1 e %2</source>
        <translation>the samples differ from the take between frames %1 and %2</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>Sobre o Programa</source>
        <translation>About the Program</translation>
    </message>
    <message>
        <source>Programador:</source>
        <translation>Programmer:</translation>
    </message>
    <message>
        <source>Website:</source>
        <translation>Website:</translation>
    </message>
    <message>
        <source>E-mail:</source>
        <translation>E-mail:</translation>
    </message>
    <message>
        <source>Messenger:</source>
        <translation>Messenger:</translation>
    </message>
    <message>
        <source>* Nota: Em caso de sistemas especificos para telefônia e/ou varreduras anti-grampos telefônicos entre em contato. </source>
        <translation>* Note: for systems made for telephony and/or anti-wiretap sweeps, get in touch. </translation>
    </message>
    <message>
        <source>Entrada do microfone</source>
        <translation>Microphone input</translation>
    </message>
    <message>
        <source>Entrada de sinal</source>
        <translation>Signal input</translation>
    </message>
    <message>
        <source>Saida para caixa de som</source>
        <translation>Output to speakers</translation>
    </message>
    <message>
        <source>TIPOS DE CABOS PARA:</source>
        <translation>CABLE TYPES FOR:</translation>
    </message>
    <message>
        <source>Conversor de LP ou fita cassete</source>
        <translation>LP or cassette converter</translation>
    </message>
    <message>
        <source>Gravação de ambiente</source>
        <translation>Room recording</translation>
    </message>
    <message>
        <source>Gravação telefônica (Grampo)</source>
        <translation>Telephone recording (tap)</translation>
    </message>
    <message>
        <source>Esculta tipo espião</source>
        <translation>Spy-style listening</translation>
    </message>
    <message>
        <source>Fone:</source>
        <translation>Phone:</translation>
    </message>
</context>
<context>
    <name>InputMenu</name>
    <message>
        <source>Som do computador: %1</source>
        <translation>Computer sound: %1</translation>
    </message>
    <message>
        <source>Entrada de áudio</source>
        <translation>Audio input</translation>
    </message>
    <message>
        <source>Padrão do sistema</source>
        <translation>System default</translation>
    </message>
    <message>
        <source>%1 (não disponível)</source>
        <translation>%1 (not available)</translation>
    </message>
    <message>
        <source>A entrada muda depois da gravação</source>
        <translation>The input can be changed after the take</translation>
    </message>
    <message>
        <source>Padrão do sistema (%1)</source>
        <translation>System default (%1)</translation>
    </message>
</context>
<context>
    <name>Markers</name>
    <message>
        <source>Marca %1</source>
        <translation>Mark %1</translation>
    </message>
</context>
<context>
    <name>MoveFile</name>
    <message>
        <source>Não foi possível ler a gravação para salvá-la como &quot;%1&quot;: %2.</source>
        <translation>Could not read the take to save it as &quot;%1&quot;: %2.</translation>
    </message>
    <message>
        <source>A cópia salva como &quot;%1&quot; não conferia com a gravação e foi removida: %2.</source>
        <translation>The copy saved as &quot;%1&quot; did not match the take, so it was removed: %2.</translation>
    </message>
    <message>
        <source>Não foi possível salvar a gravação como &quot;%1&quot;: %2.</source>
        <translation>Could not save the take as &quot;%1&quot;: %2.</translation>
    </message>
</context>
<context>
    <name>PulsePeakSource</name>
    <message>
        <source>Medidor de nível</source>
        <translation>Level meter</translation>
    </message>
</context>
<context>
    <name>PulsePlayback</name>
    <message>
        <source>Não foi possível conectar ao servidor de som: %1</source>
        <translation>Cannot connect to the sound server: %1</translation>
    </message>
    <message>
        <source>Não foi possível tocar no servidor de som: %1</source>
        <translation>Cannot play on the sound server: %1</translation>
    </message>
    <message>
        <source>A conexão com o servidor de som foi perdida: %1</source>
        <translation>The connection to the sound server was lost: %1</translation>
    </message>
    <message>
        <source>Reprodução</source>
        <translation>Playback</translation>
    </message>
</context>
<context>
    <name>PulseWaveIn</name>
    <message>
        <source>Não foi possível conectar ao servidor de som: %1</source>
        <translation>Cannot connect to the sound server: %1</translation>
    </message>
    <message>
        <source>Não foi possível gravar do servidor de som: %1</source>
        <translation>Cannot record from the sound server: %1</translation>
    </message>
    <message>
        <source>Gravação</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>O servidor de som recusou um pedido: %1</source>
        <translation>The sound server refused a request: %1</translation>
    </message>
    <message>
        <source>O servidor de som deixou de responder: %1</source>
        <translation>The sound server stopped answering: %1</translation>
    </message>
    <message>
        <source>A conexão com o servidor de som foi perdida: %1</source>
        <translation>The connection to the sound server was lost: %1</translation>
    </message>
    <message>
        <source>A gravação do servidor de som parou: %1</source>
        <translation>Recording from the sound server stopped: %1</translation>
    </message>
    <message>
        <source>A entrada &quot;%1&quot; não está disponível. Nada foi gravado.</source>
        <translation>The input &quot;%1&quot; is not available. Nothing was recorded.</translation>
    </message>
</context>
<context>
    <name>QualityFrame</name>
    <message>
        <source>%1 Hz · %2 bits</source>
        <translation>%1 Hz · %2 bits</translation>
    </message>
    <message>
        <source>Qualidade escolhida no menu de contexto</source>
        <translation>Quality chosen in the context menu</translation>
    </message>
    <message>
        <source>%1. Escolhida: %2</source>
        <translation>%1. Chosen: %2</translation>
    </message>
    <message>
        <source>Taxa de amostragem</source>
        <translation>Sample rate</translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <source>Resolução</source>
        <translation>Resolution</translation>
    </message>
    <message>
        <source>%1 bits</source>
        <translation>%1 bits</translation>
    </message>
</context>
<context>
    <name>Recovery</name>
    <message>
        <source>Uma gravação interrompida (o programa ou o computador parou no meio dela) foi recuperada:</source>
        <translation>A take that was interrupted (the program or the computer stopped while it was recording) has been recovered:</translation>
    </message>
    <message>
        <source>Gravações interrompidas (o programa ou o computador parou no meio delas) foram recuperadas:</source>
        <translation>Takes that were interrupted (the program or the computer stopped while they were recording) have been recovered:</translation>
    </message>
    <message>
        <source>A mais recente é agora a gravação atual: salve-a, ou ela será oferecida para exclusão antes da próxima gravação.</source>
        <translation>The newest is now the current take: save it, or it will be offered for deletion before the next take.</translation>
    </message>
    <message>
        <source>O salvamento como &quot;%1&quot; foi interrompido: o arquivo incompleto foi removido, e a gravação continua em &quot;%2&quot;.</source>
        <translation>Saving as &quot;%1&quot; was interrupted: the unfinished file was removed, and the take is still at &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>O salvamento como &quot;%1&quot; foi interrompido: o arquivo incompleto foi removido.</source>
        <translation>Saving as &quot;%1&quot; was interrupted: the unfinished file was removed.</translation>
    </message>
</context>
<context>
    <name>SpinningGlobe</name>
    <message>
        <source>Globo girando</source>
        <translation>Spinning globe</translation>
    </message>
</context>
<context>
    <name>SystemError</name>
    <message>
        <source>Erro desconhecido</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <source>Erro %1</source>
        <translation>Error %1</translation>
    </message>
</context>
<context>
    <name>Tagging</name>
    <message>
        <source>o arquivo gravado não pôde ser aberto para receber as etiquetas</source>
        <translation>the saved file could not be opened to receive its tags</translation>
    </message>
    <message>
        <source>a biblioteca de etiquetas não conseguiu gravá-las</source>
        <translation>the tagging library could not write them</translation>
    </message>
    <message>
        <source>as marcas não estão dentro do áudio gravado</source>
        <translation>the markers are not within the saved audio</translation>
    </message>
    <message>
        <source>o formato guarda no máximo %1 marcas</source>
        <translation>the format keeps at most %1 markers</translation>
    </message>
    <message>
        <source>as etiquetas gravadas não puderam ser lidas de volta</source>
        <translation>the tags written could not be read back</translation>
    </message>
    <message>
        <source>as etiquetas lidas de volta diferem das gravadas (%1)</source>
        <translation>the tags read back differ from those written (%1)</translation>
    </message>
    <message>
        <source>o arquivo não é um WAV completo</source>
        <translation>the file is not a complete WAV</translation>
    </message>
    <message>
        <source>o arquivo já tem pontos de marcação no meio</source>
        <translation>the file already has cue points in its middle</translation>
    </message>
</context>
<context>
    <name>TakeAudio</name>
    <message>
        <source>A gravação &quot;%1&quot; não foi encontrada.</source>
        <translation>The take &quot;%1&quot; was not found.</translation>
    </message>
    <message>
        <source>A gravação não foi encontrada.</source>
        <translation>The take was not found.</translation>
    </message>
    <message>
        <source>Não foi possível abrir &quot;%1&quot;: %2</source>
        <translation>Cannot open &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; não é uma gravação que se possa ler.</source>
        <translation>&quot;%1&quot; is not a take that can be read.</translation>
    </message>
    <message>
        <source>Partes desta gravação não puderam ser lidas: faltam %1 em %2 trechos; o resto toca normalmente.</source>
        <translation>Parts of this take could not be read: %1 is missing in %2 places; the rest plays as usual.</translation>
    </message>
    <message>
        <source>Faltam %1 no fim de &quot;%2&quot;: o arquivo é menor do que o cabeçalho diz.</source>
        <translation>%1 is missing at the end of &quot;%2&quot;: the file is shorter than its header says.</translation>
    </message>
    <message>
        <source>%1 de &quot;%2&quot; não puderam ser lidos e tocam como silêncio.</source>
        <translation>%1 of &quot;%2&quot; could not be read and plays as silence.</translation>
    </message>
    <message>
        <source>&quot;%2&quot; está em outro formato e ficou de fora (%1).</source>
        <translation>&quot;%2&quot; is in another format and was left out (%1).</translation>
    </message>
    <message>
        <source>O cabeçalho de &quot;%1&quot; está danificado; o som foi lido no formato da gravação.</source>
        <translation>The header of &quot;%1&quot; is damaged; its sound was read in the take&apos;s format.</translation>
    </message>
    <message>
        <source>Não foi possível abrir &quot;%1&quot;; o que ele guarda ficou de fora.</source>
        <translation>Cannot open &quot;%1&quot;; what it holds was left out.</translation>
    </message>
</context>
<context>
    <name>TakeFile</name>
    <message>
        <source>A gravação chegou ao maior tamanho que um arquivo WAV comporta, por isso foi parada.</source>
        <translation>The take reached the largest size a WAV file can hold, so the recording was stopped.</translation>
    </message>
    <message>
        <source>Não foi possível escrever no arquivo da gravação: %1.</source>
        <translation>Could not write to the take file: %1.</translation>
    </message>
    <message>
        <source>Não foi possível escrever no arquivo da gravação: ele não está aberto.</source>
        <translation>Could not write to the take file: it is not open.</translation>
    </message>
    <message>
        <source>Cannot ascend out of DATA CHUNK</source>
        <translation>Cannot ascend out of DATA CHUNK</translation>
    </message>
    <message>
        <source>Could Ascend Out Of wformat Chunk</source>
        <translation>Could Ascend Out Of wformat Chunk</translation>
    </message>
    <message>
        <source>Cannot ascend out of RIFF CHUNK</source>
        <translation>Cannot ascend out of RIFF CHUNK</translation>
    </message>
    <message>
        <source>Failed to create WAV file</source>
        <translation>Failed to create WAV file</translation>
    </message>
    <message>
        <source>Failed To Create RIFF CHUNK</source>
        <translation>Failed To Create RIFF CHUNK</translation>
    </message>
    <message>
        <source>Failed To Create FMT CHUNK</source>
        <translation>Failed To Create FMT CHUNK</translation>
    </message>
    <message>
        <source>Could Not Write wformat</source>
        <translation>Could Not Write wformat</translation>
    </message>
    <message>
        <source>Failed To Create DATA CHUNK</source>
        <translation>Failed To Create DATA CHUNK</translation>
    </message>
    <message>
        <source>A gravação atingiu o maior tamanho que um arquivo WAV comporta e a parte seguinte, &quot;%1&quot;, não pôde ser criada (%2). A gravação foi interrompida; tudo o que foi gravado até aqui foi mantido.</source>
        <translation>The take reached the largest size a WAV file can hold and its next part, &quot;%1&quot;, could not be created (%2). The recording was stopped; everything recorded until then is kept.</translation>
    </message>
</context>
<context>
    <name>TakeMenu</name>
    <message>
        <source>15 minutos</source>
        <translation>15 minutes</translation>
    </message>
    <message>
        <source>30 minutos</source>
        <translation>30 minutes</translation>
    </message>
    <message>
        <source>45 minutos</source>
        <translation>45 minutes</translation>
    </message>
    <message>
        <source>1 hora</source>
        <translation>1 hour</translation>
    </message>
    <message>
        <source>2 horas</source>
        <translation>2 hours</translation>
    </message>
    <message>
        <source>Pausar gravação</source>
        <translation>Pause recording</translation>
    </message>
    <message>
        <source>Parar após</source>
        <translation>Stop after</translation>
    </message>
    <message>
        <source>Outro tempo…</source>
        <translation>Other time…</translation>
    </message>
    <message>
        <source>Sem limite</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source>Parar a gravação após (horas:minutos):</source>
        <translation>Stop recording after (hours:minutes):</translation>
    </message>
    <message>
        <source>Outro tempo… (%1)</source>
        <translation>Other time… (%1)</translation>
    </message>
    <message>
        <source>Continuar gravação</source>
        <translation>Resume recording</translation>
    </message>
    <message>
        <source>Marcar agora</source>
        <translation>Mark now</translation>
    </message>
    <message>
        <source>Ouvir e cortar…</source>
        <translation>Listen and trim…</translation>
    </message>
</context>
<context>
    <name>TrackNames</name>
    <message>
        <source>Escolha a pasta onde salvar as faixas.</source>
        <translation>Choose the folder to save the tracks in.</translation>
    </message>
    <message>
        <source>Escreva o caminho completo da pasta, começando por &quot;/&quot;.</source>
        <translation>Type the folder&apos;s full path, starting with &quot;/&quot;.</translation>
    </message>
    <message>
        <source>A pasta &quot;%1&quot; não existe.</source>
        <translation>The folder &quot;%1&quot; does not exist.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; não é uma pasta.</source>
        <translation>&quot;%1&quot; is not a folder.</translation>
    </message>
    <message>
        <source>Não é possível gravar na pasta &quot;%1&quot;.</source>
        <translation>The folder &quot;%1&quot; cannot be written to.</translation>
    </message>
    <message>
        <source>O título está vazio.</source>
        <translation>The title is empty.</translation>
    </message>
    <message>
        <source>O título não pode ser &quot;.&quot; nem &quot;..&quot;.</source>
        <translation>The title cannot be &quot;.&quot; or &quot;..&quot;.</translation>
    </message>
    <message>
        <source>O título tem &quot;/&quot;, que não cabe num nome de arquivo.</source>
        <translation>The title has &quot;/&quot;, which cannot be in a file name.</translation>
    </message>
    <message>
        <source>O título tem um caractere de controle (uma quebra de linha, uma tabulação…).</source>
        <translation>The title has a control character (a line break, a tab…).</translation>
    </message>
    <message>
        <source>O título tem &quot;%1&quot;, que esta pasta não aceita em nomes de arquivo.</source>
        <translation>The title has &quot;%1&quot;, which this folder does not accept in file names.</translation>
    </message>
    <message>
        <source>O título é longo demais: o nome do arquivo teria %1 bytes, e esta pasta aceita até %2.</source>
        <translation>The title is too long: the file name would have %1 bytes, and this folder takes at most %2.</translation>
    </message>
    <message>
        <source>Já existe &quot;%1&quot; nesta pasta.</source>
        <translation>&quot;%1&quot; already exists in this folder.</translation>
    </message>
</context>
<context>
    <name>WaveIn</name>
    <message>
        <source>O comando foi concluído com sucesso.</source>
        <translation>The command completed successfully.</translation>
    </message>
    <message>
        <source>Ocorreu um erro não especificado no dispositivo de som.</source>
        <translation>An unspecified error occurred in the sound device.</translation>
    </message>
    <message>
        <source>Não há dispositivo de gravação.</source>
        <translation>There is no recording device.</translation>
    </message>
    <message>
        <source>O dispositivo de gravação já está em uso.</source>
        <translation>The recording device is already in use.</translation>
    </message>
    <message>
        <source>O dispositivo de gravação não está aberto.</source>
        <translation>The recording device is not open.</translation>
    </message>
    <message>
        <source>Não há servidor de som nem dispositivo de gravação.</source>
        <translation>There is no sound server or recording device.</translation>
    </message>
    <message>
        <source>Não há memória suficiente para os buffers de gravação.</source>
        <translation>There is not enough memory for the recording buffers.</translation>
    </message>
    <message>
        <source>Um sinalizador inválido foi passado ao dispositivo de gravação.</source>
        <translation>An invalid flag was passed to the recording device.</translation>
    </message>
    <message>
        <source>Um parâmetro inválido foi passado ao dispositivo de gravação.</source>
        <translation>An invalid parameter was passed to the recording device.</translation>
    </message>
    <message>
        <source>O dispositivo de gravação não aceita este formato de amostra.</source>
        <translation>The recording device does not support this sample format.</translation>
    </message>
    <message>
        <source>O buffer de gravação ainda está em uso pelo dispositivo.</source>
        <translation>The recording buffer is still in use by the device.</translation>
    </message>
    <message>
        <source>O buffer de gravação não foi preparado.</source>
        <translation>The recording buffer has not been prepared.</translation>
    </message>
    <message>
        <source>Erro desconhecido do dispositivo de gravação %1.</source>
        <translation>Unknown recording device error %1.</translation>
    </message>
</context>
<context>
    <name>frmSoundRec</name>
    <message>
        <source>Zazudoda Zedarizere V1.00</source>
        <translation>Zazudoda Zedarizere V1.00</translation>
    </message>
    <message>
        <source>GRAVADOR DE ÁUDIO</source>
        <translation>AUDIO RECORDER</translation>
    </message>
    <message>
        <source>Conversa Telefônica</source>
        <translation>Telephone call</translation>
    </message>
    <message>
        <source>Gravação ambiente</source>
        <translation>Room recording</translation>
    </message>
    <message>
        <source>Min                 Nivel                Max</source>
        <translation>Min                 Level                Max</translation>
    </message>
    <message>
        <source>Windows </source>
        <translation>Windows </translation>
    </message>
    <message>
        <source>QUALIDADE</source>
        <translation>QUALITY</translation>
    </message>
    <message>
        <source>Gravação LP/Fita cassete</source>
        <translation>LP/Cassette recording</translation>
    </message>
    <message>
        <source>Iniciar Gravação</source>
        <translation>Start Recording</translation>
    </message>
    <message>
        <source>Nivel</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>Savar Com...</source>
        <translation>Save As...</translation>
    </message>
    <message>
        <source>Sobre</source>
        <translation>About</translation>
    </message>
    <message>
        <source>11025 Hz</source>
        <translation>11025 Hz</translation>
    </message>
    <message>
        <source>22050 Hz</source>
        <translation>22050 Hz</translation>
    </message>
    <message>
        <source>44100 Hz</source>
        <translation>44100 Hz</translation>
    </message>
    <message>
        <source>Stereo / Mono</source>
        <translation>Stereo / Mono</translation>
    </message>
    <message>
        <source>Saida</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Parar Gravação</source>
        <translation>Stop Recording</translation>
    </message>
    <message>
        <source>VIZ Eridorov</source>
        <translation>VIZ Eridorov</translation>
    </message>
    <message>
        <source>Arquivo não foi salvo. Deseja Excluir?</source>
        <translation>The file was not saved. Delete it?</translation>
    </message>
    <message>
        <source>Deseja sair sem Gravar o arquivo?</source>
        <translation>Exit without saving the file?</translation>
    </message>
    <message>
        <source>Nivel esquerdo</source>
        <translation>Left level</translation>
    </message>
    <message>
        <source>Nivel direito</source>
        <translation>Right level</translation>
    </message>
    <message>
        <source>dezenas de minutos</source>
        <translation>tens of minutes</translation>
    </message>
    <message>
        <source>minutos</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>dezenas de segundos</source>
        <translation>tens of seconds</translation>
    </message>
    <message>
        <source>segundos</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>horas</source>
        <translation>hours</translation>
    </message>
    <message>
        <source>Couldn&apos;t open the mixer.</source>
        <translation>Couldn&apos;t open the mixer.</translation>
    </message>
    <message>
        <source>A gravação parou porque o servidor de som saiu do ar (%1). Tudo o que foi gravado até então está no arquivo.</source>
        <translation>The recording stopped because the sound server went away (%1). Everything recorded until then is in the take.</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>A gravação &quot;%1&quot; não está mais lá: já foi salva ou removida antes.</source>
        <translation>The take &quot;%1&quot; is no longer there: it was saved or removed before.</translation>
    </message>
    <message>
        <source>Salvando a gravação como &quot;%1&quot;...</source>
        <translation>Saving the take as &quot;%1&quot;...</translation>
    </message>
    <message>
        <source>%1 A gravação continua onde estava, &quot;%2&quot;.</source>
        <translation>%1 The take stays where it was, &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Save Wave File</source>
        <translation>Save Wave File</translation>
    </message>
    <message>
        <source>Gravando</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Espaço livre para %1</source>
        <translation>Free space for %1</translation>
    </message>
    <message>
        <source>Há espaço em disco para apenas %1 de gravação. Gravar mesmo assim?</source>
        <translation>There is disk space for only %1 of recording. Record anyway?</translation>
    </message>
    <message>
        <source>Menu de contexto: entrada de áudio</source>
        <translation>Context menu: audio input</translation>
    </message>
    <message>
        <source>Entrada: %1</source>
        <translation>Input: %1</translation>
    </message>
    <message>
        <source>A entrada escolhida, &quot;%1&quot;, não está disponível. Nada foi gravado.

Escolha outra entrada no menu de contexto do nível de gravação.</source>
        <translation>The chosen input, &quot;%1&quot;, is not available. Nothing was recorded.

Choose another input in the recording level&apos;s context menu.</translation>
    </message>
    <message>
        <source>A gravação parou porque a entrada &quot;%1&quot; foi desconectada. Tudo o que foi gravado até então está na gravação.</source>
        <translation>The recording stopped because the input &quot;%1&quot; was disconnected. Everything recorded until then is in the take.</translation>
    </message>
    <message>
        <source>Pausado</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>Faltam %1 para parar a gravação</source>
        <translation>%1 left until recording stops</translation>
    </message>
    <message>
        <source>Tempo de gravação %1</source>
        <translation>Recording time %1</translation>
    </message>
    <message>
        <source>%1 Algumas partes da gravação ficaram com o novo nome, &quot;%2&quot;, e as outras continuam em &quot;%3&quot;.</source>
        <translation>%1 Some parts of the take are under the new name, &quot;%2&quot;, and the others are still at &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>1 marca</source>
        <translation>1 marker</translation>
    </message>
    <message numerus="yes">
        <source>%n marcas</source>
        <translation>
            <numerusform>%n marker</numerusform>
            <numerusform>%n markers</numerusform>
        </translation>
    </message>
    <message>
        <source>Salvando as faixas em &quot;%1&quot;...</source>
        <translation>Saving the tracks in &quot;%1&quot;...</translation>
    </message>
    <message>
        <source>Não foi possível guardar a marca: %1.</source>
        <translation>The marker could not be kept: %1.</translation>
    </message>
    <message>
        <source>Cancelar Início</source>
        <translation>Cancel Start</translation>
    </message>
    <message>
        <source>A gravação começa às %1</source>
        <translation>Recording starts at %1</translation>
    </message>
    <message>
        <source>Esperando som acima de %1</source>
        <translation>Waiting for sound above %1</translation>
    </message>
    <message>
        <source>Aguardando para gravar às %1</source>
        <translation>Waiting to record at %1</translation>
    </message>
    <message>
        <source>Há uma gravação programada para as %1. Sair mesmo assim?</source>
        <translation>A recording is scheduled for %1. Quit anyway?</translation>
    </message>
    <message>
        <source>A gravação parou porque a entrada &quot;%1&quot; foi desconectada. Nenhum som passou do nível de disparo: nada foi gravado.</source>
        <translation>The recording stopped because the input &quot;%1&quot; was disconnected. No sound rose above the trigger level: nothing was recorded.</translation>
    </message>
    <message>
        <source>A gravação parou porque o servidor de som saiu do ar (%1). Nenhum som passou do nível de disparo: nada foi gravado.</source>
        <translation>The recording stopped because the sound server went away (%1). No sound rose above the trigger level: nothing was recorded.</translation>
    </message>
</context>
<context>
    <name>review::ReviewWindow</name>
    <message>
        <source>Tocar</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Tocar seleção</source>
        <translation>Play selection</translation>
    </message>
    <message>
        <source>Desfazer corte</source>
        <translation>Undo trim</translation>
    </message>
    <message>
        <source>Salvar…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>Fechar</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Ouvir e cortar - %1</source>
        <translation>Listen and trim - %1</translation>
    </message>
    <message>
        <source>As marcas não puderam ser gravadas: %1</source>
        <translation>The markers could not be saved: %1</translation>
    </message>
    <message>
        <source>Abrindo a gravação…</source>
        <translation>Opening the recording…</translation>
    </message>
    <message>
        <source>Início do corte</source>
        <translation>Trim start</translation>
    </message>
    <message>
        <source>Início do corte (I põe no cursor)</source>
        <translation>Trim start (I puts it at the playhead)</translation>
    </message>
    <message>
        <source>Fim do corte</source>
        <translation>Trim end</translation>
    </message>
    <message>
        <source>Fim do corte (O põe no cursor)</source>
        <translation>Trim end (O puts it at the playhead)</translation>
    </message>
    <message>
        <source>Tempo do cursor</source>
        <translation>Playhead time</translation>
    </message>
    <message>
        <source>Tocar ou pausar (Espaço)</source>
        <translation>Play or pause (Space)</translation>
    </message>
    <message>
        <source>Tocar do início ao fim do corte (Shift+Espaço)</source>
        <translation>Play from the trim start to the trim end (Shift+Space)</translation>
    </message>
    <message>
        <source>As marcas não puderam ser lidas: %1</source>
        <translation>The markers could not be read: %1</translation>
    </message>
    <message>
        <source>1 faixa na seleção</source>
        <translation>1 track in the selection</translation>
    </message>
    <message>
        <source>1 linha danificada do arquivo de marcas ficou de fora.</source>
        <translation>1 damaged line of the marker file was left out.</translation>
    </message>
    <message numerus="yes">
        <source>%n linhas danificadas do arquivo de marcas ficaram de fora.</source>
        <translation>
            <numerusform>%n damaged line of the marker file was left out.</numerusform>
            <numerusform>%n damaged lines of the marker file were left out.</numerusform>
        </translation>
    </message>
    <message>
        <source>Pausar</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Seleção: %1 a %2 (%3)</source>
        <translation>Selection: %1 to %2 (%3)</translation>
    </message>
    <message>
        <source>A seleção está vazia.</source>
        <translation>The selection is empty.</translation>
    </message>
    <message>
        <source>A gravação está vazia: não há som para tocar.</source>
        <translation>The recording is empty: there is no sound to play.</translation>
    </message>
    <message>
        <source>Dividir em faixas</source>
        <translation>Split into tracks</translation>
    </message>
    <message>
        <source>Marcas viram faixas</source>
        <translation>Markers become tracks</translation>
    </message>
    <message>
        <source>Salvar faixas…</source>
        <translation>Save tracks…</translation>
    </message>
    <message>
        <source>O silêncio mínimo vai de %1 a %2 s.</source>
        <translation>The minimum silence goes from %1 to %2 s.</translation>
    </message>
    <message>
        <source>O limite vai de %1 a %2 dBFS.</source>
        <translation>The threshold goes from %1 to %2 dBFS.</translation>
    </message>
    <message>
        <source>Põe uma divisão de faixas no meio de cada silêncio da seleção</source>
        <translation>Puts a track boundary in the middle of each silence in the selection</translation>
    </message>
    <message>
        <source>&amp;Silêncio mínimo</source>
        <translation>Minimum &amp;silence</translation>
    </message>
    <message>
        <source>&amp;Limite</source>
        <translation>&amp;Threshold</translation>
    </message>
    <message>
        <source>Medindo o som da gravação…</source>
        <translation>Measuring the recording&apos;s sound…</translation>
    </message>
    <message>
        <source>Nenhum silêncio encontrado com estes valores</source>
        <translation>No silence found with these values</translation>
    </message>
    <message numerus="yes">
        <source>%n faixas na seleção</source>
        <translation>
            <numerusform>%n track in the selection</numerusform>
            <numerusform>%n tracks in the selection</numerusform>
        </translation>
    </message>
    <message>
        <source>Faixa %1 começa em %2</source>
        <translation>Track %1 starts at %2</translation>
    </message>
    <message>
        <source>Divisão fora do corte, em %1</source>
        <translation>Boundary outside the trim, at %1</translation>
    </message>
    <message>
        <source>%1 (Delete a remove)</source>
        <translation>%1 (Delete removes it)</translation>
    </message>
</context>
<context>
    <name>review::TrackSaveDialog</name>
    <message>
        <source>Pr&amp;ocurar…</source>
        <translation>&amp;Browse…</translation>
    </message>
    <message>
        <source>&amp;Salvar</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>Salvar faixas</source>
        <translation>Save tracks</translation>
    </message>
    <message>
        <source>&amp;Pasta</source>
        <translation>&amp;Folder</translation>
    </message>
    <message>
        <source>&amp;Formato</source>
        <translation>F&amp;ormat</translation>
    </message>
    <message>
        <source>Álbu&amp;m</source>
        <translation>&amp;Album</translation>
    </message>
    <message>
        <source>A&amp;rtista</source>
        <translation>Ar&amp;tist</translation>
    </message>
    <message>
        <source>A&amp;no</source>
        <translation>&amp;Year</translation>
    </message>
    <message>
        <source>Escolher a pasta onde salvar as faixas</source>
        <translation>Choose the folder to save the tracks in</translation>
    </message>
    <message>
        <source>Nº</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Duração</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>Título</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>Fai&amp;xas</source>
        <translation>Trac&amp;ks</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Faixa %1</source>
        <translation>Track %1</translation>
    </message>
    <message>
        <source>Será salva como &quot;%1&quot;</source>
        <translation>Will be saved as &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Faixa %1: %2</source>
        <translation>Track %1: %2</translation>
    </message>
    <message>
        <source>%1 E mais uma faixa com problema.</source>
        <translation>%1 And one more track with a problem.</translation>
    </message>
    <message>
        <source>%1 E mais %2 faixas com problemas.</source>
        <translation>%1 And %2 more tracks with problems.</translation>
    </message>
    <message>
        <source>Não há faixas a salvar.</source>
        <translation>There are no tracks to save.</translation>
    </message>
    <message>
        <source>Será salvo &quot;%1&quot; em &quot;%2&quot;.</source>
        <translation>&quot;%1&quot; will be saved in &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Serão salvos %1 arquivos em &quot;%2&quot;, de &quot;%3&quot; a &quot;%4&quot;.</source>
        <translation>%1 files will be saved in &quot;%2&quot;, from &quot;%3&quot; to &quot;%4&quot;.</translation>
    </message>
    <message>
        <source>Pasta das faixas</source>
        <translation>Folder for the tracks</translation>
    </message>
</context>
<context>
    <name>review::WaveformView</name>
    <message>
        <source>Posição</source>
        <translation>Position</translation>
    </message>
</context>
</TS>
